#include "assets/frm_indexupdate.h"

#include "assets/index_files.h"
#include "building/gebtypes.h"
#include "core/convert.h"
#include "db/dbaccess.h"
#include "platform/dialogs.h"
#include "platform/paths.h"

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using platform::MsgButtons;
using platform::MsgIcon;
using platform::MsgResult;

namespace {
const QString kNone = QStringLiteral("./.");
void say(const QString& text, MsgIcon icon, QWidget* parent) {
    platform::dialogs().message(text, icon, MsgButtons::Ok, parent);
}
bool isFile(const QLabel* l) {
    return QFileInfo(l->text()).isFile();
}
} // namespace

Tfrm_Indexaktualisierung::Tfrm_Indexaktualisierung(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frm_Indexaktualisierung"));
    setWindowTitle(QStringLiteral("Aktualisierung der Indexwerte"));
    resize(640, 400);
    auto* top = new QVBoxLayout(this);
    auto* choice = new QGroupBox(QStringLiteral("Auswahl der Datei zur Indexaktualisierung"));
    auto* row = new QHBoxLayout(choice);
    row->addWidget(new QLabel(QStringLiteral("Verzeichnis:")));
    edFoldername = new QLineEdit;
    edFoldername->setObjectName(QStringLiteral("edFoldername"));
    row->addWidget(edFoldername, 1);
    auto* btnFolder = new QPushButton(QStringLiteral("..."));
    btnFolder->setObjectName(QStringLiteral("btnFolder"));
    btnFolder->setAutoDefault(false);
    btnFolder->setMaximumWidth(32);
    row->addWidget(btnFolder);
    top->addWidget(choice);

    auto* files = new QGroupBox(QStringLiteral("Ausgewählte Importdateien"));
    auto* form = new QFormLayout(files);
    auto label = [](const char* name) {
        auto* l = new QLabel(kNone);
        l->setObjectName(QString::fromLatin1(name));
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
        return l;
    };
    lbDateinameIdxB = label("lbDateinameIdxB");
    lbDateinameIdx = label("lbDateinameIdx");
    lblGebTypes = label("lblGebTypes");
    lblGebBauteile = label("lblGebBauteile");
    lblGebAufzug = label("lblGebAufzug");
    form->addRow(QStringLiteral("Indizes:"), lbDateinameIdxB);
    form->addRow(QStringLiteral("Indexdaten"), lbDateinameIdx);
    form->addRow(QStringLiteral("Gebäude - Gebäudetypen"), lblGebTypes);
    form->addRow(QStringLiteral("Gebäude- Bauteile"), lblGebBauteile);
    form->addRow(QStringLiteral("Gebäude - Aufzugsanlagen"), lblGebAufzug);
    top->addWidget(files);
    auto* status = new QGroupBox(QStringLiteral("Status"));
    auto* sl = new QVBoxLayout(status);
    lbStatus = new QLabel;
    lbStatus->setObjectName(QStringLiteral("lbStatus"));
    lbStatus->setWordWrap(true);
    sl->addWidget(lbStatus);
    top->addWidget(status, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto button = [&](const QString& text, const char* name) {
        auto* b = new QPushButton(text);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        buttons->addWidget(b);
        return b;
    };
    auto* take = button(QStringLiteral("Übernehmen"), "btnUebernehmen");
    auto* exp = button(QStringLiteral("Export"), "btnExport");
    auto* close = button(QStringLiteral("Beenden"), "btnBeenden");
    top->addLayout(buttons);
    connect(btnFolder, &QPushButton::clicked, this, &Tfrm_Indexaktualisierung::FolderClick);
    connect(edFoldername, &QLineEdit::returnPressed, this, &Tfrm_Indexaktualisierung::ShowFiles);
    connect(take, &QPushButton::clicked, this, &Tfrm_Indexaktualisierung::UebernehmenClick);
    connect(exp, &QPushButton::clicked, this, &Tfrm_Indexaktualisierung::ExportClick);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
}

void Tfrm_Indexaktualisierung::FolderClick() {
    const QString folder =
        platform::dialogs().folder(QStringLiteral("Speicherort festlegen"), platform::appFolder(), this);
    if (folder.isEmpty())
        return;
    edFoldername->setText(folder);
    lbStatus->clear();
    for (QLabel* l : {lblGebTypes, lblGebBauteile, lblGebAufzug})
        l->clear();
    ShowFiles();
}

void Tfrm_Indexaktualisierung::ShowFiles() {
    if (edFoldername->text().isEmpty())
        return;
    const QDir dir(edFoldername->text());
    if (dir.exists(QStringLiteral("idxb_ex.dat")) && dir.exists(QStringLiteral("idx_ex.dat"))) {
        lbDateinameIdx->setText(dir.filePath(QStringLiteral("idx_ex.dat")));
        lbDateinameIdxB->setText(dir.filePath(QStringLiteral("idxb_ex.dat")));
    } else {
        lbDateinameIdx->setText(QStringLiteral("keine Indexdaten vorhanden..."));
        lbDateinameIdxB->clear();
    }
    const std::pair<QLabel*, const char*> building[] = {
        {lblGebTypes, "DataGebTypes.dat"}, {lblGebBauteile, "DataBauteile.dat"}, {lblGebAufzug, "DataAufzug.dat"}};
    for (const auto& [label, name] : building)
        label->setText(dir.exists(QString::fromLatin1(name)) ? dir.filePath(QString::fromLatin1(name)) : QString());
}

void Tfrm_Indexaktualisierung::UebernehmenClick() {
    if (isFile(lbDateinameIdx))
        importIndex();
    if (isFile(lblGebTypes) || isFile(lblGebBauteile) || isFile(lblGebAufzug))
        updateBuildingData();
}

void Tfrm_Indexaktualisierung::importIndex() {
    if (!QDir(edFoldername->text()).exists())
        return;
    auto show = [this](int d, int v) {
        lbStatus->setText(QStringLiteral("Anzahl Indizes: %1  / Anzahl Indexwerte: %2").arg(d).arg(v));
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    };
    try {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const IndexImportResult r = ImportIndexFiles(
            edFoldername->text(),
            [this](const QString& question) {
                QApplication::restoreOverrideCursor();
                const bool yes =
                    platform::dialogs().message(question, MsgIcon::Question, MsgButtons::YesNo, this) == MsgResult::Yes;
                QApplication::setOverrideCursor(Qt::WaitCursor);
                return yes;
            },
            show, [this](const QString& path) { return askEmpty(EmptyIndexFileQuestion(path)); });
        QApplication::restoreOverrideCursor();
        if (!r.refusedEmptyFile.isEmpty()) {
            const QString refusal = QStringLiteral("Die Datei %1 enthält keine Datensätze. Die Indexdaten wurden "
                                                   "nicht geändert.")
                                        .arg(r.refusedEmptyFile);
            lbStatus->setText(refusal);
            say(refusal, MsgIcon::Information, this);
            return;
        }
        if (r.confirmed)
            show(r.descriptions, r.values);
        say(QStringLiteral("Die Indexaktualisierung wurde erfolgreich abgeschlossen. "), MsgIcon::Information, this);
    } catch (const Exception& e) {
        QApplication::restoreOverrideCursor();
        // Nothing of the replacement was kept: the series are as they were before. The reason (a damaged file, a
        // value that is no index) tells the user which file to ask for again.
        say(QStringLiteral("Fehler während der Aktualisierung der Datenbank. \r\nBitte infomieren Sie den "
                           "Software-Hersteller.\r\n\r\n") +
                e.message(),
            MsgIcon::Error, this);
    }
}

bool Tfrm_Indexaktualisierung::askEmpty(const QString& question) {
    const bool busy = QApplication::overrideCursor() != nullptr;
    if (busy)
        QApplication::restoreOverrideCursor();
    // Emptying a table has to be chosen; Enter keeps the data.
    const bool yes =
        platform::dialogs().message(question, MsgIcon::Question, MsgButtons::YesNoDefaultNo, this) == MsgResult::Yes;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    return yes;
}

void Tfrm_Indexaktualisierung::updateBuildingData() {
    if (platform::dialogs().message(QStringLiteral("Aktualisierung der Gebäudedaten ausführen?"), MsgIcon::Question,
                                    MsgButtons::YesNo, this) != MsgResult::Yes)
        return;
    try {
        QString report = TGebDataImport().ImportUpdateData(
            edFoldername->text(), [this](const QString& path) { return askEmpty(EmptyCatalogueQuestion(path)); });
        report.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        lbStatus->setText(lbStatus->text() + QStringLiteral("\n") + report.trimmed());
        say(QStringLiteral("Die Aktualisierung der Gebäude-Daten wurde erfolgreich abgeschlossen. "),
            MsgIcon::Information, this);
    } catch (const EBrvEmptyFileRefused& e) {
        lbStatus->setText(lbStatus->text() + QStringLiteral("\n") +
                          QString(e.message()).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
        say(e.message(), MsgIcon::Information, this);
    } catch (const Exception& e) {
        say(QStringLiteral("Bei der Aktualisierung der Gebäude-Daten ist ein Fehler aufgetreten: \r\n") + e.message(),
            MsgIcon::Error, this);
    }
}

void Tfrm_Indexaktualisierung::ExportClick() {
    if (!QDir(edFoldername->text()).exists() || edFoldername->text().isEmpty())
        return;
    QString answer = FormatDateTimeLocal(QStringLiteral("YYYY"), BrvNow());
    if (!platform::dialogs().inputBox(QStringLiteral("Jahr der Indexreihe"),
                                      QStringLiteral("Bitte geben Sie das zu exportierende Jahr an: "), answer, this))
        return;
    bool ok = false;
    const int year = answer.trimmed().toInt(&ok);
    try {
        if (!ok)
            throw Exception(QStringLiteral("Exportfehler #1"));
        const IndexExportResult r = ExportIndexFiles(edFoldername->text(), year);
        say(QStringLiteral("Es werden %1 Beschreibungstexte exportiert.").arg(r.descriptions), MsgIcon::Information,
            this);
        say(QStringLiteral("Export erfolgreich beendet.\r\nEs wurden %1 Datensätze der Indexwerte \r\nfür das Jahr %2 "
                           "exportiert.")
                .arg(r.values)
                .arg(year),
            MsgIcon::Information, this);
    } catch (const Exception&) {
        say(QStringLiteral("Exportfehler #1"), MsgIcon::Error, this);
    }
}
