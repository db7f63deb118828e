// brenvik-cli: the headless tool. Reads brenvik.ini exactly as the application does.

#include "session/brenvik_ini.h"
#include "session/session.h"
#include "reports/report_run.h"
#include "reports/report_workbook.h"
#include "building/gebbericht.h"
#include "session/client_workspace.h"
#include "assets/batch_valuation.h"
#include "assets/csv_export.h"
#include "assets/index_files.h"
#include "assets/inventory.h"
#include "db/backup.h"
#include "import/importer.h"
#include "import/journal.h"
#include "import/takeover.h"
#include "migration/migration.h"
#include "building/gebdata.h"
#include "building/gebprepare.h"
#include "building/gebtypes.h"
#include "db/brenvik_config.h"
#include "db/dbaccess.h"
#include "db/mandanten.h"
#include "db/schema.h"
#include "platform/dialogs.h"
#include "platform/paths.h"

#include "core/convert.h"
#include "db/indexwerte.h"
#include "platform/ini.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

#include <glib.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

void out(const QString& s) {
    std::fprintf(stdout, "%s\n", QString(s).replace(QLatin1String("\r\n"), QLatin1String("\n")).toUtf8().constData());
}
void err(const QString& s) {
    std::fprintf(stderr, "%s\n", QString(s).replace(QLatin1String("\r\n"), QLatin1String("\n")).toUtf8().constData());
}

// What the session reports on the way (an unreadable configuration file) goes to standard error.
void logToStderr(const QString&, const QString& text);

// The usage of every command, from the table of commands at the end; exit status 2.
int usage();

void logToStderr(const QString&, const QString& text) {
    err(text);
}

int initDb(const QStringList& args) {
    if (args.size() != 1)
        return usage();
    try {
        CreateNewDatabase(args[0], brenvik::kDefaultDbUser, brenvik::kDefaultDbPassword);
        out(QStringLiteral("Die Datenbank %1 wurde angelegt.").arg(args[0]));
        return 0;
    } catch (const Exception& e) {
        err(e.message());
        return 1;
    }
}

int checkDb() {
    session::Session session;
    try {
        session.openConfigured();
    } catch (const Exception& e) {
        out(QStringLiteral("Fehler beim Öffnen der Datenbank.\r\nSystemmeldung: ") + e.message());
        out(QStringLiteral("0"));
        return 1;
    }
    const int r = session.checkSchema();
    out(QString::number(r));
    return r < 2 ? 0 : 1;
}

// The configured database as the shared connection for the run, with the schema brought up to date as the
// application does at every start; false after the German message when it cannot be opened.
bool openSession(session::Session& session) {
    try {
        session.openConfigured();
    } catch (const Exception& e) {
        err(QStringLiteral("Fehler beim Öffnen der Datenbank.\r\nSystemmeldung: ") + e.message());
        return false;
    }
    if (session.checkSchema() >= 2)
        err(QStringLiteral("Die Überprüfung der Datenbankstrukturen ist fehlgeschlagen. Bitte informieren Sie den "
                           "Softwarehersteller."));
    return true;
}

// The value after an option ("--file F"); empty when the option or its value is missing.
QString optionValue(const QStringList& args, const char* name) {
    const int i = args.indexOf(QLatin1String(name));
    return i >= 0 && i + 1 < args.size() ? args[i + 1] : QString();
}

// The client number of "--client N"; 0 when missing or invalid.
int clientArgument(const QStringList& args) {
    const int i = args.indexOf(QStringLiteral("--client"));
    return i >= 0 && i + 1 < args.size() ? args[i + 1].toInt() : 0;
}

// Takes the client's lock for a run like the application; false (after the German warning) when another user
// holds it. The session gives it back at its end.
bool lockForRun(session::Session& session, int client) {
    try {
        session.registerUser(platform::loginName());
    } catch (const Exception& e) {
        err(QStringLiteral("Benutzerinformationen konnten nicht in die Datenbank eingetragen werden.\r\n"
                           "Fehlermeldung: ") +
            e.message());
        return false;
    }
    const session::ClientLock lock = session.takeClient(client);
    if (lock.code >= kLockDbError) {
        err(QStringLiteral("Fehler beim Sperren des aktuell gewaehlten Mandanten."));
        return false;
    }
    if (!lock.held()) {
        err(workspace::LockedByOtherText(lock.holder));
        return false;
    }
    return true;
}

// Opens the configured database, reads the client and takes its lock; false after the German message.
bool openClientRun(session::Session& session, int client, TBrenvikMandant& m) {
    if (!openSession(session))
        return false;
    try {
        GetMandant(client, m);
    } catch (const EBrvException_NODATA&) {
        err(QStringLiteral("Der Mandant %1 ist nicht vorhanden.").arg(client));
        return false;
    }
    return lockForRun(session, client);
}

int value(const QStringList& args) {
    const int client = clientArgument(args);
    if (client <= 0)
        return usage();
    session::Session session(logToStderr);
    TBrenvikMandant m;
    if (!openClientRun(session, client, m))
        return 1;
    BatchOptions o;
    o.mandantNr = client;
    o.bVAT = m.mwst_pflicht == QLatin1String("1");
    o.stopOnError = args.contains(QStringLiteral("--stop-on-error"));
    o.progress = [](int, int) { return !platform::terminationRequested(); };
    int code = 0;
    try {
        const BatchResult r = RunBatchValuation(AllAssetRows(client), o);
        out(QStringLiteral("Bewertet: %1").arg(r.valued));
        out(QStringLiteral("Übersprungen: %1").arg(r.skipped));
        out(QStringLiteral("Fehlgeschlagen: %1").arg(r.failed));
        out(QStringLiteral("Ohne Wert: %1").arg(r.withoutValue));
        if (r.cancelled) {
            err(QStringLiteral("Die Bewertung wurde auf Anforderung beendet; die bis dahin bewerteten Anlagen sind "
                               "gespeichert."));
            code = 1;
        }
        if (r.stopped) {
            err(QStringLiteral("Fehler während der Berechnung des Versicherungswertes.\r\nDie Berechnung wurde bei "
                               "der Anlage (AnlageNr: %1) gestoppt.\r\nBitte prüfen Sie die Daten dieser Anlage.")
                    .arg(r.stopAnlageNr));
            code = 1;
        }
    } catch (const Exception& e) {
        err(e.message());
        code = 1;
    }
    return code;
}

int exportCsv(const QStringList& args) {
    const int client = clientArgument(args);
    const int o = args.indexOf(QStringLiteral("--out"));
    if (client <= 0 || o < 0 || o + 1 >= args.size())
        return usage();
    session::Session session(logToStderr);
    if (!openSession(session))
        return 1;
    try {
        TBrenvikMandant m;
        GetMandant(client, m);
        const RegisterExport n = ExportRegisterCsv(client, args[o + 1]);
        out(QStringLiteral("Exportiert: %1").arg(n.assets));
        if (n.replacedFields > 0)
            err(n.notice());
        return 0;
    } catch (const EBrvException_NODATA&) {
        err(QStringLiteral("Der Mandant %1 ist nicht vorhanden.").arg(client));
    } catch (const Exception& e) {
        err(QStringLiteral("Fehler beim Export der Anlageinformationen.\r\nSystemmeldung: ") + e.message());
    }
    return 1;
}

void printMessages(const QList<ImportMessage>& messages) {
    for (const ImportMessage& m : messages)
        err(m.text);
}

int importFile(const QStringList& args) {
    const int client = clientArgument(args);
    const QString file = optionValue(args, "--file");
    QString layoutName = optionValue(args, "--layout");
    const QString index = optionValue(args, "--index").isEmpty() ? QStringLiteral("443") : optionValue(args, "--index");
    if (client <= 0 || file.isEmpty())
        return usage();
    if (layoutName.isEmpty()) {
        const QString suffix = QFileInfo(file).suffix().toLower();
        layoutName = suffix == QLatin1String("txt") || suffix == QLatin1String("csv") ? QStringLiteral("text")
                                                                                      : QStringLiteral("excel");
    }
    ImportLayout layout;
    if (layoutName == QLatin1String("excel"))
        layout = ImportLayout::Excel;
    else if (layoutName == QLatin1String("text"))
        layout = ImportLayout::Text;
    else if (layoutName == QLatin1String("datev2021"))
        layout = ImportLayout::Datev2021;
    else {
        err(QStringLiteral("Unbekanntes Dateiformat: %1 (excel, text oder datev2021)").arg(layoutName));
        return usage();
    }
    if (!QFileInfo(file).isFile()) {
        err(QStringLiteral("Die angegebene Datei existiert nicht bzw. wurde nicht gefunden.\r\nBitte pruefen Sie "
                           "nochmals den Dateinamen."));
        return 1;
    }
    session::Session session(logToStderr);
    TBrenvikMandant m;
    if (!openClientRun(session, client, m))
        return 1;
    if (const QString why = CheckStandardIndex(index); !why.isEmpty()) {
        err(QStringLiteral("Fehlerhafte Angaben:\r\nFehlernachricht: ") + why);
        return 1;
    }
    ImportOptions o;
    o.groups = args.contains(QStringLiteral("--groups"));
    o.extras = args.contains(QStringLiteral("--extras"));
    o.indexFromFile = args.contains(QStringLiteral("--index-from-file"));
    // A termination signal stops the read at the next row and the takeover before it commits: the register stays
    // as it was, and the run's lock is given back on the way out.
    const QString stopped = QStringLiteral("Der Import wurde abgebrochen, weil das Programm beendet wird.");
    const auto stopOnSignal = [&stopped](const QString&) {
        if (platform::terminationRequested())
            throw Exception(stopped);
    };
    const ImportResult r = ReadImportFile(client, file, layout, o, stopOnSignal);
    if (platform::terminationRequested()) {
        err(stopped + QStringLiteral(" Es wurde nichts übernommen."));
        return 1;
    }
    printMessages(r.messages);
    if (!r.sheetName.isEmpty())
        out(QStringLiteral("Tabellenblatt: %1").arg(r.sheetName));
    for (const QString& n : r.notices)
        out(QStringLiteral("Hinweis: ") + n);
    out(QStringLiteral("Gelesen: %1").arg(r.records));
    out(QStringLiteral("Bereitgestellt: %1").arg(r.staged));
    out(QStringLiteral("Fehlgeschlagen: %1").arg(r.failed));
    out(QStringLiteral("Übersprungen: %1").arg(r.skipped.size()));
    for (const ImportFailure& f : r.failures)
        err(QStringLiteral("Nicht übernommen: Zeile %1: %2 [%3] %4").arg(f.line).arg(f.reason, f.konto, f.description));
    // Headings and notes are listed in part: a sheet of notes must not flood the terminal.
    constexpr qsizetype kShownSkipped = 100;
    for (qsizetype i = 0; i < r.skipped.size() && i < kShownSkipped; ++i) {
        const ImportFailure& f = r.skipped[i];
        out(QStringLiteral("Übersprungen: Zeile %1: %2 [%3] %4").arg(f.line).arg(f.reason, f.konto, f.description));
    }
    if (r.skipped.size() > kShownSkipped)
        out(QStringLiteral("Übersprungen: … und %1 weitere Zeilen").arg(r.skipped.size() - kShownSkipped));
    if (r.records > 0 && !r.longDescriptions.isEmpty()) {
        out(QStringLiteral("Information Import: Die Bezeichnung der folgenden Datensätze sind zu lang und werden beim "
                           "Import automatisch auf 100 Zeichen gekürzt:"));
        for (const QString& line : r.longDescriptions)
            out(QStringLiteral("  ") + line);
    }
    // Exit status 0 only when every row was read, staged and taken over.
    int code = r.staged > 0 && !r.lossy() ? 0 : 1;
    if (!args.contains(QStringLiteral("--stage-only")) && r.staged > 0) {
        const bool allow = args.contains(QStringLiteral("--allow-disposals"));
        const TakeoverResult t = TakeOverStaged(
            client, index.toInt(), &r,
            [allow](const TakeoverPlan& plan) {
                out(QStringLiteral("Plan: ") + plan.text());
                if (!allow) {
                    // The reasons of the question, without the question itself.
                    QString reasons = plan.question();
                    reasons.truncate(reasons.lastIndexOf(QStringLiteral("\r\n\r\n")));
                    err(reasons + QStringLiteral("\r\nDie Übernahme wird nur mit --allow-disposals ausgeführt."));
                }
                return allow;
            },
            [&stopped](int) {
                if (platform::terminationRequested())
                    throw Exception(stopped);
            });
        if (platform::terminationRequested()) {
            err(stopped + QStringLiteral(" Es wurde nichts übernommen."));
            return 1;
        }
        printMessages(t.messages);
        out(QStringLiteral("Neu: %1").arg(t.added));
        out(QStringLiteral("Bestätigt: %1").arg(t.confirmed));
        out(QStringLiteral("Abgänge: %1").arg(t.disposed));
        out(QStringLiteral("Reaktiviert: %1").arg(t.reactivated));
        if (t.refused || t.aborted || t.failedRows > 0 || t.disposalFailed)
            code = 1;
        if (!t.refused && !t.aborted) {
            // The archive goes where the window puts it: the database's backup folder, else the seat's.
            session.readParameters();
            const ArchiveResult a =
                ArchiveImportFile(client, file, session.backupFolder(), session.useBackupFolderDb());
            if (a.copied && t.journalNr > 0) {
                try {
                    JournalSetArchive(client, t.journalNr, a.target);
                } catch (const Exception&) {
                }
            }
            err(a.message.text);
        }
    }
    return code;
}

int importUndo(const QStringList& args) {
    const int client = clientArgument(args);
    if (client <= 0)
        return usage();
    session::Session session(logToStderr);
    TBrenvikMandant m;
    if (!openClientRun(session, client, m))
        return 1;
    const UndoTakeoverResult r = UndoLastTakeover(client);
    (r.done ? out : err)(r.message);
    return r.done ? 0 : 1;
}

int inventory(const QStringList& args) {
    const int client = clientArgument(args);
    const int a = args.indexOf(QStringLiteral("--address"));
    bool ok = true;
    const int address = a >= 0 && a + 1 < args.size() ? args[a + 1].toInt(&ok) : 0;
    if (client <= 0 || !ok || (a >= 0 && a + 1 >= args.size()))
        return usage();
    session::Session session(logToStderr);
    if (!openSession(session))
        return 1;
    try {
        TBrenvikMandant m;
        GetMandant(client, m);
        QStringList problems;
        const InventoryInputs in = LoadInventoryInputs(client, address, problems);
        if (!problems.isEmpty())
            err(QStringLiteral("Folgende Probleme traten bei der Summenermittlung auf: \r") +
                problems.join(QStringLiteral("\r")));
        const InventoryResult r = CalcInventory(in);
        std::fprintf(
            stdout, "%s",
            InventoryBlockText(in, r).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).toUtf8().constData());
        return 0;
    } catch (const EBrvException_NODATA&) {
        err(QStringLiteral("Der Mandant %1 ist nicht vorhanden.").arg(client));
    } catch (const Exception& e) {
        err(QStringLiteral("Fehler bei der Berechnung der Summenwerte.\r\n") + e.message());
    }
    return 1;
}

int indexImport(const QStringList& arguments) {
    QStringList args = arguments;
    // A file without records empties its table only when asked for explicitly.
    const bool allowEmpty = args.removeAll(QStringLiteral("--allow-empty")) > 0;
    if (args.size() != 1)
        return usage();
    const auto refuseEmpty = [](const QString& path) {
        err(QStringLiteral("Die Datei %1 enthält keine Datensätze und wurde nicht übernommen; die Indexdaten "
                           "bleiben unverändert.\r\nEine leere Datei leert ihre Tabelle nur mit --allow-empty.")
                .arg(QDir::toNativeSeparators(path)));
    };
    const auto emptyAllowed = [allowEmpty](const QString&) { return allowEmpty; };
    const QDir dir(args[0]);
    const bool index = dir.exists(QStringLiteral("idx_ex.dat")) && dir.exists(QStringLiteral("idxb_ex.dat"));
    const bool building = dir.exists(QStringLiteral("DataGebTypes.dat")) ||
                          dir.exists(QStringLiteral("DataBauteile.dat")) ||
                          dir.exists(QStringLiteral("DataAufzug.dat"));
    if (!index && !building) {
        err(QStringLiteral("keine Indexdaten vorhanden..."));
        return 1;
    }
    session::Session session(logToStderr);
    if (!openSession(session))
        return 1;
    int code = 0;
    if (index) {
        try {
            const IndexImportResult r = ImportIndexFiles(
                args[0],
                [](const QString& question) {
                    err(question + QStringLiteral(" Ja"));
                    return true;
                },
                {}, emptyAllowed);
            if (!r.refusedEmptyFile.isEmpty()) {
                refuseEmpty(r.refusedEmptyFile);
                code = 1;
            } else {
                out(QStringLiteral("Anzahl Indizes: %1  / Anzahl Indexwerte: %2").arg(r.descriptions).arg(r.values));
                out(QStringLiteral("Die Indexaktualisierung wurde erfolgreich abgeschlossen. "));
            }
        } catch (const Exception& e) {
            err(QStringLiteral("Fehler während der Aktualisierung der Datenbank. \r\nBitte infomieren Sie den "
                               "Software-Hersteller.\r\n") +
                e.message());
            code = 1;
        }
    }
    if (building) {
        try {
            out(TGebDataImport().ImportUpdateData(args[0], emptyAllowed).trimmed());
            out(QStringLiteral("Die Aktualisierung der Gebäude-Daten wurde erfolgreich abgeschlossen. "));
        } catch (const EBrvEmptyFileRefused& e) {
            err(e.message() + QStringLiteral("\r\nEine leere Datei leert ihre Tabelle nur mit --allow-empty."));
            code = 1;
        } catch (const Exception& e) {
            err(QStringLiteral("Bei der Aktualisierung der Gebäude-Daten ist ein Fehler aufgetreten: \r\n") +
                e.message());
            code = 1;
        }
    }
    return code;
}

// The takeover of the predecessor's Access file, as "Tools" / "Datenmigration" runs it: into an empty database
// only, the old clients' folders copied into the data folder.
int migrate(const QStringList& args) {
    if (args.size() != 1)
        return usage();
    session::Session session(logToStderr);
    if (!openSession(session))
        return 1;
    if (const QString refusal = MigrationStartRefusal(); !refusal.isEmpty()) {
        err(QString(refusal).replace(QLatin1Char('\r'), QLatin1Char('\n')));
        return 1;
    }
    MigrationCallbacks cb;
    cb.log = [](const QString& line) {
        out(QString(line).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).trimmed());
    };
    const MigrationRun run = MigrateLegacyFile(args[0], platform::commonFilesPath(), cb);
    if (!run.opened)
        err(run.error);
    return run.opened && run.migrated && run.copied ? 0 : 1;
}

int indexExport(const QStringList& args) {
    bool ok = false;
    const int year = args.size() == 2 ? args[1].toInt(&ok) : 0;
    if (!ok)
        return usage();
    if (!QDir(args[0]).exists()) {
        err(QStringLiteral("Exportfehler #1"));
        return 1;
    }
    session::Session session(logToStderr);
    if (!openSession(session))
        return 1;
    try {
        const IndexExportResult r = ExportIndexFiles(args[0], year);
        out(QStringLiteral("Es werden %1 Beschreibungstexte exportiert.").arg(r.descriptions));
        out(QStringLiteral("Export erfolgreich beendet.\r\nEs wurden %1 Datensätze der Indexwerte \r\nfür das Jahr %2 "
                           "exportiert.")
                .arg(r.values)
                .arg(year));
        return 0;
    } catch (const Exception& e) {
        err(QStringLiteral("Exportfehler #1\r\n") + e.message());
        return 1;
    }
}

// The configured database without opening it: for the service manager.
bool configuredTarget(backup::Target& t) {
    try {
        const brenvik::DbConfig cfg = brenvik::ReadDbConfig(platform::commonFilesPath() + brenvik::kIniFileName);
        t = {cfg.database, cfg.user, cfg.password};
        gCommonFilesPath = platform::commonFilesPath();
        return true;
    } catch (const Exception& e) {
        err(QStringLiteral("Die Brenvik-Konfiguration konnte nicht gelesen werden.\r\nSystemnachricht: ") +
            e.message());
        return false;
    }
}

int backupCommand(const QStringList& args) {
    backup::Target t;
    if (args.size() != 1)
        return usage();
    if (!configuredTarget(t))
        return 1;
    try {
        backup::Backup(t, QFileInfo(args[0]).absoluteFilePath());
        out(QStringLiteral("Die Datensicherung wurde erfolgreich erstellt: ") + args[0]);
        return 0;
    } catch (const Exception& e) {
        err(e.message());
        return 1;
    }
}

int restoreCommand(const QStringList& args) {
    backup::Target t;
    if (args.size() != 1)
        return usage();
    if (!configuredTarget(t))
        return 1;
    backup::RestoreHooks hooks;
    hooks.check = [] { return CheckDatabaseStructure() == 1; };
    const backup::RestoreResult r = backup::Restore(t, QFileInfo(args[0]).absoluteFilePath(), hooks);
    if (!r.restored) {
        err(r.message);
        return 1;
    }
    out(QStringLiteral("Die Datenrücksicherung wurde erfolgreich beendet."));
    return 0;
}

// Frees the lock of a client whose seat has gone (a crash, a power loss); the lock of a live seat stays.
int unlock(const QStringList& args) {
    const int client = clientArgument(args);
    if (args.size() != 2 || client <= 0)
        return usage();
    session::Session session(logToStderr);
    if (!openSession(session))
        return 1;
    try {
        MandantLockInfo info = GetMandantLockInfo(client);
        if (!info.exists) {
            err(QStringLiteral("Der Mandant %1 ist nicht vorhanden.").arg(client));
            return 1;
        }
        if (!info.locked) {
            out(QStringLiteral("Der Mandant %1 ist nicht gesperrt.").arg(client));
            return 0;
        }
        if (UnlockAbandonedMandant(client, info)) {
            out(QStringLiteral("Die Sperre des Mandanten %1 wurde aufgehoben. Gesperrt hatte ihn <%2>%3.")
                    .arg(client)
                    .arg(info.login)
                    .arg(info.attachment ? QStringLiteral(" (Sitzung %1, nicht mehr vorhanden)").arg(info.attachment)
                                         : QString()));
            return 0;
        }
        err(QStringLiteral("Der Mandant %1 wird von <%2> bearbeitet (Sitzung %3 ist aktiv). Die Sperre bleibt "
                           "bestehen.")
                .arg(client)
                .arg(info.login)
                .arg(info.attachment));
        return 1;
    } catch (const Exception& e) {
        err(e.message());
        return 1;
    }
}

// A client with the next free number, as "Neuer Mandant" and "Speichern" of the client workspace create it.
int newClient(const QStringList& args) {
    if (args.size() != 1 || args[0].trimmed().isEmpty())
        return usage();
    session::Session session(logToStderr);
    try {
        session.openConfigured();
        // A new or foreign database file (an empty one, another program's restored backup) has none of the tables:
        // that is said before the schema check would start to change it.
        BrvSql q(QStringLiteral("SELECT 1 FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = ?"),
                 QStringLiteral("MANDANTEN"));
        const bool found = q.next();
        q->closeCursor();
        BrvCommit();
        if (!found) {
            err(QStringLiteral("Die Datenbank enthält die Tabellen von Brenvik nicht (MANDANTEN fehlt). Bitte mit "
                               "brenvik-cli prepare-installation oder init-db anlegen."));
            return 1;
        }
    } catch (const Exception& e) {
        err(QStringLiteral("Fehler beim Öffnen der Datenbank.\r\nSystemmeldung: ") + e.message());
        return 1;
    }
    if (session.checkSchema() >= 2)
        err(QStringLiteral("Die Überprüfung der Datenbankstrukturen ist fehlgeschlagen. Bitte informieren Sie den "
                           "Softwarehersteller."));
    TBrenvikMandant m;
    m.firma = args[0].trimmed().left(200);
    m.mwst_pflicht = QStringLiteral("0");
    try {
        for (int attempt = 0; attempt < 3; ++attempt) {
            m.mandant_nr = 0;
            const int nr = SaveMandant(m, true);
            if (nr > 0) {
                out(QStringLiteral("Mandant %1 \"%2\" angelegt.").arg(nr).arg(m.firma));
                return 0;
            }
        }
        err(QStringLiteral("Fehler beim Speichern der Mandantendaten."));
    } catch (const Exception& e) {
        err(QStringLiteral("Fehler beim Speichern der Mandantendaten.\r\nSystemmeldung: ") + e.message());
    }
    return 1;
}

// Values one stored building as the building editor does and saves it; prints the results as Name=value.
int buildingCalc(const QStringList& args) {
    const int i = args.indexOf(QStringLiteral("--pid"));
    if (args.size() != 2 || i != 0)
        return usage();
    const QString& pid = args[1];
    session::Session session(logToStderr);
    if (!openSession(session))
        return 1;
    try {
        std::optional<TGebBuilding> b = GetGebBuilding(pid);
        if (!b) {
            err(QStringLiteral("Das Gebäude %1 ist nicht vorhanden.").arg(pid));
            return 1;
        }
        const TGebObjekt o = GetGebObjekt(b->GebObj_ID);
        // The building is the client's data: the run holds the client's lock like the building editor.
        const int owner = o.OwnerID.toInt();
        if (owner > 0 && GetMandantLockInfo(owner).exists && !lockForRun(session, owner))
            return 1;
        const QList<TGebType> types = GetGebTypes();
        const auto type =
            std::find_if(types.cbegin(), types.cend(), [&](const TGebType& t) { return t.GEBCAPTION == b->Art; });
        if (type == types.cend()) {
            err(QStringLiteral("Der Gebäudetyp \"%1\" ist nicht im Katalog vorhanden.").arg(b->Art));
            return 1;
        }
        TGebPreparation prep;
        const bool calculated = CalculateStoredGebBuilding(*b, o, &*type, &prep);
        if (!prep.indexFound)
            err(kGebNoIndexMessage);
        if (!calculated)
            return 1;
        b->DeriveSaveTexts();
        UpdateGebBuilding(*b);
        const auto num = [](double v) { return QString::number(v, 'g', QLocale::FloatingPointShortest); };
        const std::pair<const char*, QString> outputs[] = {
            {"ProduktIdx", num(b->ProduktIdx)},
            {"KostenIdx", num(b->KostenIdx)},
            {"AufzugskostenIdx", num(b->AufzugskostenIdx)},
            {"ProduktIdxNeuwertEUR", num(b->ProduktIdxNeuwertEUR)},
            {"VersWert", num(b->VersWert)},
            {"WiederBPreisOrg", num(b->WiederBPreisOrg)},
            {"UStKorrektur", b->UStKorrektur ? QStringLiteral("1") : QStringLiteral("0")},
            {"Wertminderung", num(b->Wertminderung)},
            {"WertminderungPercent", num(b->WertminderungPercent)},
            {"Zeitwert", num(b->Zeitwert)},
            {"CurRichtpreis", b->CurRichtpreis},
            {"CurProdukt", b->CurProdukt},
            {"CurProduktIdx", b->CurProduktIdx},
            {"CurKostenIdx", b->CurKostenIdx},
            {"CurAufzugIdx", b->CurAufzugIdx},
            {"CurBaupreise", b->CurBaupreise},
            {"VersArtStr", b->VersArtStr},
            {"RNDWiederKost", b->RNDWiederKost},
            {"SummeNK", b->SummeNK},
            {"SummeBau", b->SummeBau},
            {"SummeBauRound", b->SummeBauRound},
            {"RNDKostenIDXSum", b->RNDKostenIDXSum},
            {"RNDProduktIDXSum", b->RNDProduktIDXSum},
            {"RNDAufzugIDXSum", b->RNDAufzugIDXSum},
            {"RNDProdukt", b->RNDProdukt},
            {"RNDKosten", b->RNDKosten},
            {"RNDAufzug", b->RNDAufzug},
            {"RNDZeitwert", b->RNDZeitwert},
            {"RNDProduktIDX", b->RNDProduktIDX},
            {"RNDKostenIDX", b->RNDKostenIDX},
            {"RNDAufzugIDX", b->RNDAufzugIDX},
            {"ZeitwertPercent", b->ZeitwertPercent},
            {"WM1", b->WM1},
            {"WM2", b->WM2},
            {"WM3", b->WM3},
            {"WM4", b->WM4},
            {"WMSelected", b->WMSelected},
            {"CaptionCUR", b->CaptionCUR}};
        for (const auto& [name, value] : outputs)
            out(QString::fromLatin1(name) + QLatin1Char('=') + value);
        return 0;
    } catch (const Exception& e) {
        err(e.message());
        return 1;
    }
}

// Writes reports as PDF files under the names the report window proposes, each with its picture attachment, under
// the client's lock: table reports of the whole client or of one site, with --xlsx also as workbooks, and the
// building value sheet of one building (--building PID) or, with --all, of every building of the client.
int report(const QStringList& args) {
    const int client = clientArgument(args);
    const QString key = optionValue(args, "--key"), folder = optionValue(args, "--out");
    const QString addressText = optionValue(args, "--address"), buildingPid = optionValue(args, "--building");
    const bool all = args.contains(QStringLiteral("--all")), workbooks = args.contains(QStringLiteral("--xlsx"));
    bool addressOk = true;
    const int address = addressText.isEmpty() ? 0 : addressText.toInt(&addressOk);
    if (client <= 0 || folder.isEmpty() || all == !key.isEmpty() || !addressOk || address < 0 ||
        (args.contains(QStringLiteral("--address")) && addressText.isEmpty()) ||
        (args.contains(QStringLiteral("--building")) && buildingPid.isEmpty()))
        return usage();
    if (!QDir().mkpath(folder)) {
        err(QStringLiteral("Der Ordner %1 kann nicht angelegt werden.").arg(folder));
        return 1;
    }
    session::Session session(logToStderr);
    TBrenvikMandant m;
    if (!openClientRun(session, client, m))
        return 1;
    session.readParameters();
    int code = 0;
    try {
        const ReportProject project = LoadReportProject(ReportProjectPath());
        ReportJob job;
        job.clientNr = client;
        job.clientName = m.firma;
        job.indexYear = GetMaxIndexjahr();
        job.logoFolder = session.commonFilesPath();
        job.keepRows = workbooks;
        job.parameters[QStringLiteral("pFootnoteVersion")] =
            QStringLiteral("Erstellt mit Brenvik Versicherungswertermittlung, Version %1")
                .arg(QStringLiteral(BRENVIK_VERSION));
        if (address > 0) {
            TBrenvikAdresse a;
            try {
                GetAdresse(client, address, a);
            } catch (const EBrvException_NODATA&) {
                err(QStringLiteral("Die Adresse %1 ist beim Mandanten %2 nicht vorhanden.").arg(address).arg(client));
                return 1;
            }
            job.addressNr = address;
            job.addressCaption = a.adressbezeichnung;
        }
        QString imageFolder;
        try {
            imageFolder = workspace::ClientStorageFolder(client, session.useBackupFolderDb());
        } catch (const Exception&) {
        }
        QList<const ReportLayout*> chosen;
        for (const ReportLayout& l : project.reports)
            if (all ? IsReportListed(l.name) : l.name.compare(key, Qt::CaseInsensitive) == 0)
                chosen << &l;
        if (chosen.isEmpty()) {
            err(QStringLiteral("Der Bericht %1 ist nicht bekannt.").arg(key));
            return 1;
        }
        const auto write = [&](ReportOutput& output, const QString& name) {
            const QString file = QDir(folder).filePath(name + QStringLiteral(".pdf"));
            WriteReportPdf(output, file);
            out(QStringLiteral("Geschrieben: %1").arg(file));
        };
        for (const ReportLayout* l : chosen) {
            PreparedReport r = PrepareReport(project, l->name, job);
            if (!r.table) {
                // The building value sheet: of the building named, else of each building of the client.
                QList<TGebObjektGeb> buildings;
                for (const TGebObjektGeb& g : GetGebObjektGebList(QString::number(client)))
                    if (buildingPid.isEmpty() ? all : g.GebPID == buildingPid)
                        buildings << g;
                if (buildings.isEmpty() && !all) {
                    err(buildingPid.isEmpty()
                            ? QStringLiteral("Das Gebäudewertblatt braucht ein Gebäude: --building PID.")
                            : QStringLiteral("Das Gebäude %1 gehört nicht zum Mandanten %2.")
                                  .arg(buildingPid)
                                  .arg(client));
                    code = 1;
                }
                for (const TGebObjektGeb& g : buildings) {
                    const TGebBerichtSQL sql(client, g.GebAusf, g.GebArt, g.ObjektPID, g.GebPID);
                    const auto sheet = PrepareBuildingSheet(r, sql);
                    write(*sheet, ReportFileName(QStringList({l->caption, g.ObjCaption, g.GebCaption})
                                                     .filter(QRegularExpression(QStringLiteral("\\S")))
                                                     .join(QStringLiteral(" - "))));
                }
                continue;
            }
            write(*r.table, ReportFileName(l->caption));
            if (workbooks) {
                const QString book = QDir(folder).filePath(ReportFileName(l->caption) + QStringLiteral(".xlsx"));
                WriteReportWorkbook(*r.table, r.rows, book);
                out(QStringLiteral("Geschrieben: %1").arg(book));
            }
            if (const auto images =
                    PreparePictureAttachment(r, job, imageFolder, job.logoFolder + QStringLiteral("Logo.bmp")))
                write(*images, ReportFileName(l->caption) + QStringLiteral("_Bilder"));
        }
    } catch (const Exception& e) {
        err(QStringLiteral("Fehler bei der Ausführung des Berichtes. \r\nSystemmeldung: ") + e.message());
        return 1;
    }
    return code;
}

int prepareInstallation() {
    try {
        out(brenvik::PrepareFirstUse());
        return 0;
    } catch (const Exception& e) {
        err(e.message());
        return 1;
    }
}

// ---------------------------------------------------------------- the commands and their options

// An option of a command: its name and, when it takes a value, what the usage calls the value.
struct Option {
    enum Need { Optional, Required, Alternative }; // Alternative: exactly one of the adjacent alternatives
    const char* name;
    const char* value = nullptr; // nullptr: a switch without a value
    Need need = Optional;
};

// A command: its operands (one word each, as the usage shows them), its options, what it does, and its body.
struct Command {
    const char* name;
    const char* operands;
    std::vector<Option> options;
    const char* purpose;
    int (*run)(const QStringList& args);
};

// Accepted by every command, before or after its name.
const Option kVerbose{"--verbose"};

// The one table the usage text and the check of the arguments are made from: an option added here is shown and
// accepted at once.
const std::vector<Command>& commands() {
    using O = Option;
    static const std::vector<Command> table = {
        {"init-db", "PFAD", {}, "legt eine neue Datenbank an", initDb},
        {"check-db",
         "",
         {},
         "prüft und ergänzt die konfigurierte Datenbank",
         [](const QStringList&) { return checkDb(); }},
        {"prepare-installation",
         "",
         {},
         "richtet bei Bedarf Datenordner, brenvik.ini und Datenbank ein",
         [](const QStringList&) { return prepareInstallation(); }},
        {"new-client", "FIRMA", {}, "legt einen Mandanten mit der nächsten freien Nummer an", newClient},
        {"value",
         "",
         {{"--client", "N", O::Required}, {"--stop-on-error"}},
         "bewertet alle Anlagen des Mandanten N",
         value},
        {"export-csv",
         "",
         {{"--client", "N", O::Required}, {"--out", "DATEI", O::Required}},
         "schreibt das Anlagenverzeichnis wie \"Anlagenexport\"",
         exportCsv},
        {"import",
         "",
         {{"--client", "N", O::Required},
          {"--file", "DATEI", O::Required},
          {"--layout", "excel|text|datev2021"},
          {"--index", "K"},
          {"--groups"},
          {"--extras"},
          {"--index-from-file"},
          {"--stage-only"},
          {"--allow-disposals"}},
         "liest, prüft und übernimmt eine Importdatei",
         importFile},
        {"import-undo",
         "",
         {{"--client", "N", O::Required}},
         "macht die letzte Datenübernahme des Mandanten rückgängig",
         importUndo},
        {"inventory",
         "",
         {{"--client", "N", O::Required}, {"--address", "A"}},
         "gibt den Block der Inventarsummen aus",
         inventory},
        {"index-import",
         "ORDNER",
         {{"--allow-empty"}},
         "übernimmt idxb_ex.dat und idx_ex.dat des Ordners (leere Dateien nur mit --allow-empty)",
         indexImport},
        {"index-export", "ORDNER JAHR", {}, "schreibt die Indexdateien eines Jahres", indexExport},
        {"building-calc",
         "",
         {{"--pid", "PID", O::Required}},
         "bewertet ein gespeichertes Gebäude und speichert es",
         buildingCalc},
        {"migrate", "DATEI.mdb", {}, "übernimmt die Daten des Vorgängerprogramms in eine leere Datenbank", migrate},
        {"unlock",
         "",
         {{"--client", "N", O::Required}},
         "hebt die Sperre eines Mandanten auf, dessen Sitzung nicht mehr besteht",
         unlock},
        {"report",
         "",
         {{"--client", "N", O::Required},
          {"--key", "BERICHT", O::Alternative},
          {"--all", nullptr, O::Alternative},
          {"--out", "ORDNER", O::Required},
          {"--address", "A"},
          {"--building", "PID"},
          {"--xlsx"}},
         "schreibt Berichte als PDF (mit Bildanlage), mit --xlsx\nTabellen auch als Excel-Arbeitsmappe",
         report},
        {"backup", "DATEI", {}, "sichert die konfigurierte Datenbank in DATEI", backupCommand},
        {"restore", "DATEI", {}, "stellt die konfigurierte Datenbank aus DATEI wieder her", restoreCommand},
    };
    return table;
}

QString shown(const Option& o) {
    return o.value ? QStringLiteral("%1 %2").arg(QLatin1String(o.name), QLatin1String(o.value))
                   : QString::fromLatin1(o.name);
}

// "brenvik-cli import --client N --file DATEI [--layout ...] ...", broken before 100 columns under the first option,
// and what the command does from column 40, on a line of its own when the call is longer.
QString usageOf(const Command& c) {
    QStringList words{QStringLiteral("brenvik-cli"), QString::fromUtf8(c.name)};
    if (*c.operands)
        words << QString::fromUtf8(c.operands);
    for (size_t i = 0; i < c.options.size(); ++i) {
        const Option& o = c.options[i];
        if (o.need == Option::Alternative) {
            QStringList choice;
            for (; i < c.options.size() && c.options[i].need == Option::Alternative; ++i)
                choice << shown(c.options[i]);
            --i;
            words << QLatin1Char('(') + choice.join(QStringLiteral(" | ")) + QLatin1Char(')');
        } else {
            words << (o.need == Option::Required ? shown(o) : QLatin1Char('[') + shown(o) + QLatin1Char(']'));
        }
    }
    constexpr int kPurposeColumn = 38, kWidth = 100;
    const QString indent(2 + words[0].size() + 1 + words[1].size() + 1, QLatin1Char(' '));
    QStringList lines{QStringLiteral("  ") + words[0] + QLatin1Char(' ') + words[1]};
    for (qsizetype i = 2; i < words.size(); ++i) {
        if (lines.last().size() + 1 + words[i].size() > kWidth)
            lines << indent + words[i];
        else
            lines.last() += QLatin1Char(' ') + words[i];
    }
    const QString column(kPurposeColumn, QLatin1Char(' '));
    QStringList purpose = QString::fromUtf8(c.purpose).split(QLatin1Char('\n'));
    if (lines.size() == 1 && lines.last().size() < kPurposeColumn)
        lines.last() = lines.last().leftJustified(kPurposeColumn) + purpose.takeFirst();
    for (const QString& p : purpose)
        lines << column + p;
    return lines.join(QLatin1Char('\n'));
}

int usage() {
    QStringList text{QStringLiteral("Aufruf:")};
    for (const Command& c : commands())
        text << usageOf(c);
    text << QStringLiteral("Jeder Befehl nimmt auch [%1] an: Meldungen der Bibliotheken (GLib, Firebird) erscheinen "
                           "dann ebenfalls.")
                .arg(shown(kVerbose));
    err(text.join(QLatin1Char('\n')));
    return 2;
}

// Checks the arguments of a command against its options; on success they come back as "--name" (value as the next
// argument) and the operands in order, as the commands read them. Otherwise the German line that names what is
// wrong: an unknown option or a stray argument, an option without its value, one given twice or missing.
QString checkArguments(const Command& c, QStringList& args) {
    const QStringList operandNames = QString::fromUtf8(c.operands).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QStringList checked;
    QStringList seen;
    qsizetype operands = 0;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (!a.startsWith(QLatin1String("--"))) {
            if (operands++ >= operandNames.size())
                return QStringLiteral("Unbekanntes Argument: %1").arg(a);
            checked << a;
            continue;
        }
        const qsizetype equals = a.indexOf(QLatin1Char('='));
        const QString name = equals < 0 ? a : a.left(equals);
        const auto o = std::find_if(c.options.cbegin(), c.options.cend(),
                                    [&name](const Option& x) { return name == QLatin1String(x.name); });
        if (o == c.options.cend())
            return QStringLiteral("Unbekannte Option: %1").arg(name);
        if (seen.contains(name))
            return QStringLiteral("Die Option %1 ist mehrfach angegeben.").arg(name);
        seen << name;
        checked << name;
        if (!o->value) {
            if (equals >= 0)
                return QStringLiteral("Die Option %1 nimmt keinen Wert an.").arg(name);
            continue;
        }
        // The next argument is the value unless it is an option itself: "--file --groups" lacks the file.
        QString value;
        if (equals >= 0)
            value = a.mid(equals + 1);
        else if (i + 1 < args.size() && !args[i + 1].startsWith(QLatin1String("--")))
            value = args[++i];
        if (value.isEmpty())
            return QStringLiteral("Der Option %1 fehlt ihr Wert: %2").arg(name, shown(*o));
        checked << value;
    }
    if (operands < operandNames.size())
        return QStringLiteral("Es fehlt die Angabe %1.").arg(operandNames[operands]);
    QStringList alternatives;
    for (const Option& o : c.options) {
        if (o.need == Option::Required && !seen.contains(QLatin1String(o.name)))
            return QStringLiteral("Die Option %1 fehlt.").arg(shown(o));
        if (o.need == Option::Alternative)
            alternatives << QString::fromLatin1(o.name);
    }
    if (!alternatives.isEmpty() && std::count_if(alternatives.cbegin(), alternatives.cend(),
                                                 [&seen](const QString& n) { return seen.contains(n); }) != 1)
        return QStringLiteral("Genau eine der Optionen %1 ist anzugeben.").arg(alternatives.join(QStringLiteral(", ")));
    args = checked;
    return {};
}

// Without --verbose what the libraries say on their own stays off standard error: GLib's and libgsf's criticals
// and warnings (a damaged .xls), Qt's warnings and the database layer's statement log with Firebird's English
// texts. Our German messages say what failed; the raw texts are for a support case, which asks for --verbose.
void quietLibraries() {
    fb::setStatementLog(false);
    g_log_set_default_handler(
        [](const gchar* domain, GLogLevelFlags level, const gchar* message, gpointer) {
            if (level & (G_LOG_FLAG_FATAL | G_LOG_LEVEL_ERROR))
                g_log_default_handler(domain, level, message, nullptr);
        },
        nullptr);
    g_log_set_writer_func(
        [](GLogLevelFlags level, const GLogField* fields, gsize count, gpointer) {
            return level & (G_LOG_FLAG_FATAL | G_LOG_LEVEL_ERROR) ? g_log_writer_default(level, fields, count, nullptr)
                                                                  : G_LOG_WRITER_HANDLED;
        },
        nullptr, nullptr);
    static const QtMessageHandler qtDefault = qInstallMessageHandler(nullptr);
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& message) {
        if (type == QtFatalMsg)
            qtDefault(type, context, message);
    });
}

} // namespace

int main(int argc, char** argv) {
    // Before any thread starts: a termination signal only ends a run at its next row, so that the run still gives
    // its client lock back and detaches; a handler on an engine thread would leave the engine hanging instead.
    platform::blockTerminationSignals();
    platform::onTerminationSignal({});
    RegisterGebSchemaHooks();
    // Reports are drawn with fonts and pictures: that run needs the toolkit's graphics, on no screen.
    const char* command = nullptr;
    bool verbose = false;
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], kVerbose.name) == 0)
            verbose = true;
        else if (!command)
            command = argv[i];
    }
    // Before the application object: the toolkit already speaks while it starts.
    if (!verbose)
        quietLibraries();
    const bool drawing = qstrcmp(command, "report") == 0;
    if (drawing && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QCoreApplication> application =
        drawing ? std::make_unique<QGuiApplication>(argc, argv) : std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication& app = *application;
    QCoreApplication::setApplicationName(QStringLiteral("brenvik-cli"));
    platform::useGermanLocaleWhenUnset();
    platform::loadGermanQtTranslations();
    platform::ConsoleDialogs console;
    platform::ScopedDialogs scoped(console);
    QStringList args = app.arguments().mid(1);
    args.removeAll(QLatin1String(kVerbose.name));
    if (args.isEmpty())
        return usage();
    const QString cmd = args.takeFirst();
    const auto c = std::find_if(commands().cbegin(), commands().cend(),
                                [&cmd](const Command& x) { return cmd == QLatin1String(x.name); });
    if (c == commands().cend()) {
        err(QStringLiteral("Unbekannter Befehl: %1").arg(cmd));
        return usage();
    }
    if (const QString problem = checkArguments(*c, args); !problem.isEmpty()) {
        err(problem);
        return usage();
    }
    struct Shutdown {
        ~Shutdown() { fb::shutdownClient(); }
    } shutdown;
    return c->run(args);
}
