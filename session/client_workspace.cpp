#include "session/client_workspace.h"

#include "session/brenvik_ini.h"
#include "db/brenvik_config.h"
#include "db/mandanten.h"
#include "platform/dialogs.h"
#include "platform/ini.h"
#include "platform/paths.h"

#include <QDir>
#include <QThread>

namespace workspace {

using platform::MsgButtons;
using platform::MsgIcon;
using platform::MsgResult;

QString ProposeStorageFolder(const QString& firma, const QString& mandantNrText, const QString& useBackupFolderDb,
                             const QString& commonFilesPath) {
    QString base = firma.trimmed().left(8);
    for (QChar& c : base)
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + ('a' - 'A'));
    for (const char* gone : {"\\", "/", " ", ":", "*"})
        base.remove(QLatin1String(gone));
    base.replace(QStringLiteral("ä"), QStringLiteral("ae"), Qt::CaseInsensitive)
        .replace(QStringLiteral("ö"), QStringLiteral("oe"), Qt::CaseInsensitive)
        .replace(QStringLiteral("ü"), QStringLiteral("ue"), Qt::CaseInsensitive);
    const QString name = base + QLatin1Char('_') + mandantNrText;
    return useBackupFolderDb == QLatin1String("1") ? name : commonFilesPath + name;
}

namespace {

// A refusal of the input checks: the text is shown, the field focused.
struct CheckFailure {
    QString text;
    QString field;
};

QString checkAndStoragePath(const ClientForm& f, const QString& sBAKFLD, const QString& flag, QWidget* parent) {
    if (!ExistsBetriebsart(f.betriebsart))
        throw CheckFailure{QStringLiteral("Die angegebene Betriebsart ist nicht gültig."),
                           QStringLiteral("edBetriebsart")};
    if (f.firma.trimmed().isEmpty())
        throw CheckFailure{QStringLiteral("Es wurde keine gültige Firmenbezeichnung eingegeben."),
                           QStringLiteral("edFirma")};
    const QString path = f.sicherungspfad.trimmed();
    if (path.isEmpty())
        throw CheckFailure{QStringLiteral("Es wurde keine Pfadangabe zur Sicherung der Importdateien angegeben."),
                           QStringLiteral("edSicherungspfad")};
    const QString p = platform::resolveClientFolder(path, flag == QLatin1String("1"), sBAKFLD);
    if (!QDir(p).exists()) {
        const MsgResult answer = platform::dialogs().message(
            QStringLiteral("Das zur Sicherung von Importdateien angegebene Verzeichnis existiert nicht:\r\n<") + p +
                QStringLiteral(">\r\n\r\nSoll das Verzeichnis jetzt erstellt werden?"),
            MsgIcon::Warning, MsgButtons::YesNo, parent);
        if (answer != MsgResult::Yes)
            throw CheckFailure{QStringLiteral("Bitte korrigieren Sie zunächst Ihre Pfadangabe."),
                               QStringLiteral("edSicherungspfad")};
        if (!QDir().mkpath(p))
            throw CheckFailure{
                QStringLiteral("Das angegebene Verzeichnis konnte nicht erstellt werden.\r\nBitte prüfen "
                               "Sie Ihre Pfadangabe."),
                QStringLiteral("edSicherungspfad")};
    }
    // A relative path is stored as typed (relative to the backup or the data folder); an absolute one as the folder.
    return QDir::isAbsolutePath(path) ? p : path;
}

} // namespace

SaveResult SaveClient(const ClientForm& form, const QString& sBAKFLD, const QString& useBackupFolderDb,
                      const LogFn& log, QWidget* parent) {
    SaveResult result;
    result.sicherungspfad = form.sicherungspfad.trimmed();
    if (form.mandantNr.isEmpty()) {
        platform::dialogs().message(QStringLiteral("Bitte wählen Sie zunächst einen Mandanten zum Bearbeiten aus "
                                                   "\r\noder legen Sie einen neuen Mandanten an."),
                                    MsgIcon::Warning, MsgButtons::Ok, parent);
        return result;
    }
    TBrenvikMandant r;
    try {
        r.sicherungspfad = checkAndStoragePath(form, sBAKFLD, useBackupFolderDb, parent);
    } catch (const CheckFailure& f) {
        result.focusField = f.field;
        platform::dialogs().message(QStringLiteral("Fehler bei der Überprüfung der eingegebenen Daten.\r\n"
                                                   "Systemmeldung: ") +
                                        f.text,
                                    MsgIcon::Error, MsgButtons::Ok, parent);
        return result;
    } catch (const std::exception& e) {
        platform::dialogs().message(QStringLiteral("Fehler bei der Überprüfung der eingegebenen Daten.\r\n"
                                                   "Systemmeldung: ") +
                                        QString::fromUtf8(e.what()),
                                    MsgIcon::Error, MsgButtons::Ok, parent);
        return result;
    }
    r.mandant_nr = form.mandantNr.toInt();
    r.firma = form.firma.trimmed();
    r.name1 = form.name1.trimmed();
    r.name2 = form.name2.trimmed();
    r.endwertgrenze = 0;
    r.betriebsart_nr = form.betriebsart;
    r.mwst_pflicht = form.mwstPflicht ? QStringLiteral("1") : QStringLiteral("0");
    try {
        int n = 0;
        try {
            n = SaveMandant(r, form.isNew);
            if (n == 0) {
                // Another seat may have taken the number in the meantime: a new client takes the next free one.
                QThread::msleep(250);
                if (form.isNew)
                    r.mandant_nr = 0;
                n = SaveMandant(r, form.isNew);
            }
        } catch (const Exception& e) {
            throw EBrvException_DBERROR(e.message());
        }
        if (n == 0)
            throw EBrvException_DBERROR(QStringLiteral("Datensatz/ Primaerschluessel bereits vorhanden."));
        result.saved = true;
        result.mandantNr = n;
        if (log)
            log(QStringLiteral("BRV001000"), QStringLiteral("Die Daten des Mandanten (") + QString::number(n) +
                                                 QStringLiteral(") wurden erfolgreich gespeichert."));
    } catch (const EBrvException_DBERROR& e) {
        if (log)
            log(QStringLiteral("BRV101000"), QStringLiteral("Fehler beim Speichern des Mandanten.\r\n") + e.message());
        platform::dialogs().message(QStringLiteral("Fehler beim Speichern des Mandanten. (Datenbankfehler).\r\n"
                                                   "Fehlermeldung: ") +
                                        e.message(),
                                    MsgIcon::Error, MsgButtons::Cancel, parent);
    } catch (const std::exception& e) {
        platform::dialogs().message(QStringLiteral("Allgemeiner Speicherfehler.\r\nSystemmeldung: ") +
                                        QString::fromUtf8(e.what()),
                                    MsgIcon::Error, MsgButtons::Cancel, parent);
    }
    return result;
}

QString UseBackupFolderDbFlag() {
    platform::IniProfile ini(platform::commonFilesPath() + brenvik::kIniFileName);
    return ini.readString(brenvik::kSectionParameter, QStringLiteral("USE_BACKUP_FOLDER_DB"), QStringLiteral("0"));
}

QString ClientStorageFolder(int mandantNr, const QString& useBackupFolderDb) {
    TBrenvikMandant m;
    GetMandant(mandantNr, m);
    QString backup;
    if (useBackupFolderDb == QLatin1String("1")) {
        try {
            backup = GetKonfiguration(QStringLiteral("BACKUP_FOLDER"));
        } catch (const Exception&) {
        }
    }
    return platform::resolveClientFolder(m.sicherungspfad, useBackupFolderDb == QLatin1String("1"), backup);
}

QString LockedByOtherText(const QString& holder) {
    return QStringLiteral("Der aktuell gewaehlt Mandant wird bereits von einem \r\nanderen Benutzer <") + holder +
           QStringLiteral("> bearbeitet.");
}

bool ClientLockCheck(ClientFunction f, const SelectedNode& node, int userNr, QWidget* parent) {
    const bool reports = f == ClientFunction::Berichte;
    const QString notAClient = QStringLiteral("Fehler bei der Ermittlung des aktuellen Mandanten.\r\nBitte wählen Sie "
                                              "zunächst einen Mandanten aus.");
    auto say = [parent](const QString& text, MsgIcon icon) {
        platform::dialogs().message(text, icon, MsgButtons::Ok, parent);
    };
    if (!node.present) {
        say(QStringLiteral("Bitte wählen Sie zunächst einen Mandanten für die Verarbeitung aus."), MsgIcon::Warning);
        return false;
    }
    if (!node.isClient) {
        say(notAClient, reports ? MsgIcon::Information : MsgIcon::Warning);
        return false;
    }
    QString holder;
    const int r = MandantLock(true, userNr, node.clientNr, holder);
    if (r == kLockDone) // this seat's own lock counts as taken; another seat of the same login does not
        return true;
    if (r >= kLockDbError) {
        // A database failure is no lock of another user: say what happened.
        say(QStringLiteral("Fehler beim Sperren des aktuell gewaehlten Mandanten."), MsgIcon::Warning);
        return false;
    }
    say(LockedByOtherText(holder), MsgIcon::Warning);
    return false;
}

} // namespace workspace
