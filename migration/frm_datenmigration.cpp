#include "migration/frm_datenmigration.h"

#include "platform/ui_common.h"
#include "db/brenvik_types.h"
#include "migration/migration.h"
#include "platform/dialogs.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTextEdit>
#include <QVBoxLayout>

#include <memory>

using platform::MsgButtons;
using platform::MsgIcon;

Tfrm_Datenmigration::Tfrm_Datenmigration(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frm_Datenmigration"));
    setWindowTitle(QStringLiteral("Migration der Datenbasis"));
    resize(680, 560);
    auto* top = new QVBoxLayout(this);
    auto* header = new QLabel(QStringLiteral("Datenmigration"));
    QFont f = header->font();
    f.setBold(true);
    f.setPointSize(f.pointSize() + 4);
    header->setFont(f);
    top->addWidget(header);
    auto* text = new QLabel(QStringLiteral(
        "Das Modul Datenmigration ermöglicht den Datentransfer aus einer Vorgängerversion der Brenvik Software "
        "Tallora.\n"
        "\nBitte stellen Sie sicher und beachten, daß die Datenübernahme nicht mehrfach gestartet wird und \n"
        "eine Migration aus einer Vorgängerversion nur in eine neue leere Datenbank möglich ist."));
    text->setWordWrap(true);
    top->addWidget(text);
    auto* pictures = new QHBoxLayout;
    pictures->addWidget(new QLabel(QStringLiteral("Quelle: MS-Access DB")));
    pictures->addStretch(1);
    pictures->addWidget(new QLabel(QStringLiteral("Ziel: aktuelle Datenbank")));
    top->addLayout(pictures);
    top->addWidget(new QLabel(QStringLiteral("Dateiname der Quelldatenbank:")));
    auto* file = new QHBoxLayout;
    edDBFile = UiLineEdit("edDBFile");
    edDBFile->setText(QStringLiteral("C:\\Programme\\Brenvik_VWE\\VersWert_2002.mde"));
    btnBrowse = UiButton(QStringLiteral("..."), "btnBrowse");
    file->addWidget(edDBFile, 1);
    file->addWidget(btnBrowse);
    top->addLayout(file);
    top->addWidget(new QLabel(QStringLiteral("Protokollierung:")));
    redMigLog = new QTextEdit;
    redMigLog->setObjectName(QStringLiteral("redMigLog"));
    redMigLog->setReadOnly(true);
    redMigLog->setLineWrapMode(QTextEdit::NoWrap);
    top->addWidget(redMigLog, 1);
    lbRecCount = new QLabel;
    lbRecCount->setObjectName(QStringLiteral("lbRecCount"));
    top->addWidget(lbRecCount);
    // The style's own stop sign: a symbol character may be missing from the user's fonts.
    imgNoImport = new QLabel;
    imgNoImport->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(24, 24));
    imgNoImport->setObjectName(QStringLiteral("imgNoImport"));
    imgNoImport->hide();
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(imgNoImport);
    buttons->addStretch(1);
    btnStart = UiButton(QStringLiteral("Daten übernehmen/ Speichern"), "btnStart");
    btnClose = UiButton(QStringLiteral("Beenden"), "btnClose");
    btnClose->setDefault(true);
    buttons->addWidget(btnStart);
    buttons->addWidget(btnClose);
    top->addLayout(buttons);
    connect(btnBrowse, &QPushButton::clicked, this, &Tfrm_Datenmigration::btnBrowseClick);
    connect(btnStart, &QPushButton::clicked, this, &Tfrm_Datenmigration::btnStartClick);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);
    FormCreate();
}

void Tfrm_Datenmigration::FormCreate() {
    bCheckMigStart = true;
    const QString refusal = MigrationStartRefusal();
    QFont f = redMigLog->font();
    f.setBold(!refusal.isEmpty());
    redMigLog->setFont(f);
    imgNoImport->setVisible(!refusal.isEmpty());
    btnStart->setEnabled(refusal.isEmpty());
    redMigLog->setPlainText(QString(refusal).replace(QLatin1Char('\r'), QLatin1Char('\n')));
}

void Tfrm_Datenmigration::btnBrowseClick() {
    const QString file =
        platform::dialogs()
            .openFile(QString(), QString(), QStringLiteral("MS-Access Datenbank (*.mdb *.mde *.MDB *.MDE)"), this)
            .trimmed();
    if (!file.isEmpty())
        edDBFile->setText(file);
}

void Tfrm_Datenmigration::log(const QString& line) {
    redMigLog->append(QString(line).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}

void Tfrm_Datenmigration::btnStartClick() {
    redMigLog->clear();
    const QString file = edDBFile->text();
    sCon = file;
    MigrationCallbacks cb;
    cb.log = [this](const QString& line) { log(line); };
    cb.progress = [this](int done, int total) {
        lbRecCount->setText(QStringLiteral("Anzahl verarb. Sätze: %1 / %2").arg(done).arg(total));
        if (done % 200 == 0)
            QApplication::processEvents();
    };
    const MigrationRun run = MigrateLegacyFile(file, sAppPath, cb);
    if (!run.opened) {
        ShowApplicationError(run.error, this);
        return;
    }
    if (!run.migrated)
        return; // the failed section has written its error line into the log
    if (!run.copied)
        platform::dialogs().message(
            QStringLiteral(
                "Die Sicherung der Dateien aus der bisherigen Umgebung ist fehlgeschlagen bzw. abgebrochen "
                "worden.\r\nBitte sichern Sie diese Dateien/ Ordner durch manuelles Kopieren in das aktuelle "
                "Installationsverzeichnis."),
            MsgIcon::Warning, MsgButtons::Ok, this);
    btnStart->setEnabled(false);
    platform::dialogs().message(
        QStringLiteral("Die Migration der Daten ist abgeschlossen. Bitte prüfen Sie das Protokoll."),
        MsgIcon::Information, MsgButtons::Ok, this);
}
