#include "app/frm_settings.h"

#include "session/brenvik_ini.h"
#include "platform/ui_common.h"
#include "db/brenvik_config.h"
#include "platform/dialogs.h"
#include "platform/ini.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const QString kReadError =
    QStringLiteral("Die Brenvik-Konfiguration konnte nicht gelesen werden.\r\nSystemnachricht: ");
}

Tfrm_Settings::Tfrm_Settings(QWidget* parent) : QDialog(parent, Qt::Tool) {
    setObjectName(QStringLiteral("frm_Settings"));
    setWindowTitle(QStringLiteral("Einstellungen"));
    resize(687, 368);
    auto* top = new QVBoxLayout(this);

    auto* db = new QGroupBox(QStringLiteral("Datenbankeinstellungen"));
    auto* dbForm = new QFormLayout(db);
    cbDBTyp = new QComboBox;
    cbDBTyp->setObjectName(QStringLiteral("cbDBTyp"));
    cbDBTyp->addItems({QStringLiteral("LOCAL"), QStringLiteral("EXTERN")});
    dbForm->addRow(QStringLiteral("Datenbanktyp:"), cbDBTyp);
    auto line = [](const char* name) {
        auto* e = new QLineEdit;
        e->setObjectName(QString::fromLatin1(name));
        return e;
    };
    edDatenbank = line("edDatenbank");
    dbForm->addRow(QStringLiteral("Datenbank:"), edDatenbank);
    edDBUser = line("edDBUser");
    dbForm->addRow(QStringLiteral("DB-Benutzername:"), edDBUser);
    edDBPass = line("edDBPass");
    dbForm->addRow(QStringLiteral("DB-Kennwort:"), edDBPass);
    top->addWidget(db);

    auto* general = new QGroupBox(QStringLiteral("Allgemeine Einstellungen"));
    auto* gForm = new QFormLayout(general);
    auto* folderRow = new QHBoxLayout;
    edDBSpeicherort = line("edDBSpeicherort");
    folderRow->addWidget(edDBSpeicherort, 1);
    auto* btnSpeicherort = new QPushButton(QStringLiteral("..."));
    btnSpeicherort->setObjectName(QStringLiteral("btnSpeicherort"));
    btnSpeicherort->setAutoDefault(false);
    folderRow->addWidget(btnSpeicherort);
    gForm->addRow(QStringLiteral("Speicherort Importdateien:"), folderRow);
    cbxSpeicherort_DB = new QCheckBox(QStringLiteral("Standardwert für Speicherort aus der Datenbank verwenden"));
    cbxSpeicherort_DB->setObjectName(QStringLiteral("cbxSpeicherort_DB"));
    gForm->addRow(cbxSpeicherort_DB);
    top->addWidget(general);
    top->addStretch(1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* save = new QPushButton(QStringLiteral("Speichern"));
    save->setObjectName(QStringLiteral("btnSpeichern"));
    save->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Abbrechen"));
    cancel->setObjectName(QStringLiteral("btnCancel"));
    buttons->addWidget(save);
    buttons->addWidget(cancel);
    top->addLayout(buttons);

    connect(btnSpeicherort, &QPushButton::clicked, this, &Tfrm_Settings::btnSpeicherortClick);
    connect(save, &QPushButton::clicked, this, &Tfrm_Settings::btnSpeichernClick);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

QString Tfrm_Settings::iniPath() const {
    return sCommonFilesPath + brenvik::kIniFileName;
}

void Tfrm_Settings::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    FormShow();
}

void Tfrm_Settings::FormShow() {
    try {
        platform::IniProfile ini(iniPath());
        const QString& db = brenvik::kSectionDb;
        edDatenbank->setText(ini.readString(db, QStringLiteral("DATABASE"), QStringLiteral("[FEHLER!!]")));
        cbDBTyp->setCurrentIndex(
            cbDBTyp->findText(ini.readString(db, QStringLiteral("DBTYPE"), brenvik::kDefaultDbType)));
        edDBUser->setText(ini.readString(db, QStringLiteral("DBU"), brenvik::kDefaultDbUser));
        edDBPass->setText(ini.readString(db, QStringLiteral("DBP"), brenvik::kDefaultDbPassword));
        cbxSpeicherort_DB->setChecked(ini.readString(brenvik::kSectionParameter, QStringLiteral("USE_BACKUP_FOLDER_DB"),
                                                     QStringLiteral("0")) == QLatin1String("1"));
        try {
            edDBSpeicherort->setText(GetKonfiguration(QStringLiteral("BACKUP_FOLDER")));
        } catch (const EBrvException_NODATA&) {
            edDBSpeicherort->clear();
        }
    } catch (const Exception& e) {
        platform::dialogs().message(kReadError + e.message(), platform::MsgIcon::Error, platform::MsgButtons::Ok, this);
    }
}

void Tfrm_Settings::btnSpeicherortClick() {
    const QString folder = platform::dialogs().folder(QStringLiteral("Speicherort festlegen"), sCommonFilesPath, this);
    if (!folder.isEmpty())
        edDBSpeicherort->setText(folder);
}

void Tfrm_Settings::btnSpeichernClick() {
    if (edDatenbank->text().isEmpty()) {
        platform::dialogs().message(QStringLiteral("Es wurde kein gültiger Wert für die Datenbank angegeben."),
                                    platform::MsgIcon::Error, platform::MsgButtons::Ok, this);
        return;
    }
    try {
        platform::IniProfile ini(iniPath());
        const QString& db = brenvik::kSectionDb;
        ini.writeString(db, QStringLiteral("DATABASE"), edDatenbank->text());
        ini.writeString(db, QStringLiteral("DBTYPE"),
                        cbDBTyp->currentIndex() >= 0 ? cbDBTyp->currentText() : QString());
        ini.writeString(db, QStringLiteral("DBU"), edDBUser->text());
        ini.writeString(db, QStringLiteral("DBP"), edDBPass->text());
        ini.writeString(brenvik::kSectionParameter, QStringLiteral("BACKUP_FOLDER"), edDBSpeicherort->text());
        ini.writeString(brenvik::kSectionParameter, QStringLiteral("USE_BACKUP_FOLDER_DB"),
                        cbxSpeicherort_DB->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
        const auto answer = platform::dialogs().message(
            QStringLiteral("Bitte bestätigen Sie das Speichern des Wertes \"Speicherort Importdateien\" in die "
                           "zentrale Datenbank. \r\nDiese Einstellung wird von anderen Benutzern bei entsprechender "
                           "Konfiguration berücksichtigt."),
            platform::MsgIcon::Information, platform::MsgButtons::YesNo, this);
        if (answer == platform::MsgResult::Yes && !edDBSpeicherort->text().trimmed().isEmpty())
            SetKonfiguration(QStringLiteral("BACKUP_FOLDER"), edDBSpeicherort->text());
        platform::dialogs().message(QStringLiteral("Die Einstellungen wurden erfolgreich gespeichert.\r\nBitte starten "
                                                   "Sie die Anwendung neu, um die Änderungen zu aktivieren."),
                                    platform::MsgIcon::Information, platform::MsgButtons::Ok, this);
        accept();
    } catch (const Exception& e) {
        platform::dialogs().message(QStringLiteral("Fehler beim Speichern der Brenvik-Konfiguration.\r\n"
                                                   "Systemnachricht: ") +
                                        e.message(),
                                    platform::MsgIcon::Error, platform::MsgButtons::Ok, this);
    }
}

Tfrm_Tallora::Tfrm_Tallora(QWidget* parent) : QDialog(parent, Qt::Tool) {
    setObjectName(QStringLiteral("frm_Tallora"));
    setWindowTitle(QStringLiteral("Tallora"));
    auto* top = new QVBoxLayout(this);
    auto* picture = new QLabel(QStringLiteral("<h1>Brenvik Tallora</h1><p>Lösungen für die Assekuranz</p>"));
    picture->setObjectName(QStringLiteral("imgProduct"));
    picture->setAlignment(Qt::AlignCenter);
    picture->setMinimumSize(360, 160);
    top->addWidget(picture, 1);
    lbInfo_ = new QLabel;
    lbInfo_->setObjectName(QStringLiteral("lbInfo"));
    lbInfo_->setAlignment(Qt::AlignCenter);
    top->addWidget(lbInfo_);
    auto* ok = new QPushButton(QStringLiteral("OK"));
    ok->setObjectName(QStringLiteral("btnOK"));
    ok->setDefault(true);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(ok);
    row->addStretch(1);
    top->addLayout(row);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

void Tfrm_Tallora::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    lbInfo_->setText(QStringLiteral("Brenvik Tallora - Versicherungswertermittlung für die Assekuranz\r\nVersion ") +
                     ProgramVersion());
}
