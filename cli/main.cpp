// brenvik-cli: the headless tool. Reads brenvik.ini exactly as the application does.

#include "app/brenvik_ini.h"
#include "app/client_workspace.h"
#include "assets/batch_valuation.h"
#include "assets/csv_export.h"
#include "db/brenvik_config.h"
#include "db/dbaccess.h"
#include "db/mandanten.h"
#include "db/schema.h"
#include "platform/dialogs.h"
#include "platform/paths.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

namespace {

void out(const QString& s) { std::fprintf(stdout, "%s\n", QString(s).replace(QLatin1String("\r\n"), QLatin1String("\n")).toUtf8().constData()); }
void err(const QString& s) { std::fprintf(stderr, "%s\n", QString(s).replace(QLatin1String("\r\n"), QLatin1String("\n")).toUtf8().constData()); }

int usage() {
    err(QStringLiteral("Aufruf:\n"
                       "  brenvik-cli init-db PFAD            legt eine neue Datenbank an\n"
                       "  brenvik-cli check-db                prüft und ergänzt die konfigurierte Datenbank\n"
                       "  brenvik-cli prepare-installation    richtet bei Bedarf Datenordner, brenvik.ini und "
                       "Datenbank ein\n"
                       "  brenvik-cli value --client N [--stop-on-error]\n"
                       "                                      bewertet alle Anlagen des Mandanten N\n"
                       "  brenvik-cli export-csv --client N --out DATEI\n"
                       "                                      schreibt das Anlagenverzeichnis wie \"Anlagenexport\""));
    return 2;
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
    const QString common = platform::commonFilesPath();
    const brenvik::DbConfig cfg = brenvik::ReadDbConfig(common + brenvik::kIniFileName);
    fb::Database db;
    fb::Transaction tr(db);
    try {
        brenvik::OpenConfiguredDatabase(db, cfg);
    } catch (const Exception& e) {
        out(QStringLiteral("Fehler beim Öffnen der Datenbank.\r\nSystemmeldung: ") + e.message());
        out(QStringLiteral("0"));
        return 1;
    }
    gCommonFilesPath = common;
    SetBrvConnection(&db, &tr);
    const int r = CheckDatabaseStructure();
    SetBrvConnection(nullptr, nullptr);
    try {
        tr.commit();
    } catch (...) {
    }
    out(QString::number(r));
    return r < 2 ? 0 : 1;
}

// The configured database as the shared connection for the life of the object.
class ConfiguredConnection {
public:
    ConfiguredConnection() : tr_(db_) {}
    ~ConfiguredConnection() {
        SetBrvConnection(nullptr, nullptr);
        try {
            if (tr_.active())
                tr_.commit();
        } catch (...) {
        }
    }
    // False (after the German message) when the database cannot be opened.
    bool open() {
        try {
            brenvik::OpenConfiguredDatabase(db_, brenvik::ReadDbConfig(platform::commonFilesPath() + brenvik::kIniFileName));
        } catch (const Exception& e) {
            err(QStringLiteral("Fehler beim Öffnen der Datenbank.\r\nSystemmeldung: ") + e.message());
            return false;
        }
        SetBrvConnection(&db_, &tr_);
        // The schema is brought up to date at every start, as the application does.
        gCommonFilesPath = platform::commonFilesPath();
        if (CheckDatabaseStructure() >= 2)
            err(QStringLiteral("Die Überprüfung der Datenbankstrukturen ist fehlgeschlagen. Bitte informieren Sie den "
                               "Softwarehersteller."));
        return true;
    }

private:
    fb::Database db_;
    fb::Transaction tr_;
};

// The client number of "--client N"; 0 when missing or invalid.
int clientArgument(const QStringList& args) {
    const int i = args.indexOf(QStringLiteral("--client"));
    return i >= 0 && i + 1 < args.size() ? args[i + 1].toInt() : 0;
}

int value(const QStringList& args) {
    const int client = clientArgument(args);
    for (const QString& a : args)
        if (a.startsWith(QLatin1String("--")) && a != QLatin1String("--client") && a != QLatin1String("--stop-on-error"))
            return usage();
    if (client <= 0)
        return usage();
    ConfiguredConnection conn;
    if (!conn.open())
        return 1;
    const QString login = platform::loginName();
    int userNr = 0;
    try {
        RegisterBenutzerLogin(login);
        TBrenvikBenutzer user;
        GetBenutzer(login, user);
        userNr = user.benutzer_nr;
    } catch (const Exception& e) {
        err(QStringLiteral("Benutzerinformationen konnten nicht in die Datenbank eingetragen werden.\r\n"
                           "Fehlermeldung: ") + e.message());
        return 1;
    }
    TBrenvikMandant m;
    try {
        GetMandant(client, m);
    } catch (const EBrvException_NODATA&) {
        err(QStringLiteral("Der Mandant %1 ist nicht vorhanden.").arg(client));
        return 1;
    }
    // The run holds the client's lock like the application; a lock this user already holds stays as it is.
    QString holder;
    const int lock = MandantLock(true, userNr, client, holder);
    if (lock >= kLockDbError) {
        err(QStringLiteral("Fehler beim Sperren des aktuell gewaehlten Mandanten."));
        return 1;
    }
    if (lock != kLockDone && holder != login) {
        err(workspace::LockedByOtherText(holder));
        return 1;
    }
    BatchOptions o;
    o.mandantNr = client;
    o.bVAT = m.mwst_pflicht == QLatin1String("1");
    o.stopOnError = args.contains(QStringLiteral("--stop-on-error"));
    int code = 0;
    try {
        const BatchResult r = RunBatchValuation(AllAssetRows(client), o);
        out(QStringLiteral("Bewertet: %1").arg(r.valued));
        out(QStringLiteral("Übersprungen: %1").arg(r.skipped));
        out(QStringLiteral("Fehlgeschlagen: %1").arg(r.failed));
        out(QStringLiteral("Ohne Wert: %1").arg(r.withoutValue));
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
    if (lock == kLockDone)
        MandantLock(false, userNr, client, holder);
    return code;
}

int exportCsv(const QStringList& args) {
    const int client = clientArgument(args);
    const int o = args.indexOf(QStringLiteral("--out"));
    if (client <= 0 || o < 0 || o + 1 >= args.size())
        return usage();
    ConfiguredConnection conn;
    if (!conn.open())
        return 1;
    try {
        TBrenvikMandant m;
        GetMandant(client, m);
        const int n = ExportRegisterCsv(client, args[o + 1]);
        out(QStringLiteral("Exportiert: %1").arg(n));
        return 0;
    } catch (const EBrvException_NODATA&) {
        err(QStringLiteral("Der Mandant %1 ist nicht vorhanden.").arg(client));
    } catch (const Exception& e) {
        err(QStringLiteral("Fehler beim Export der Anlageinformationen.\r\nSystemmeldung: ") + e.message());
    }
    return 1;
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

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("brenvik-cli"));
    platform::ConsoleDialogs console;
    platform::ScopedDialogs scoped(console);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return usage();
    const QString cmd = args.takeFirst();
    if (cmd == QLatin1String("init-db"))
        return initDb(args);
    if (cmd == QLatin1String("check-db") && args.isEmpty())
        return checkDb();
    if (cmd == QLatin1String("prepare-installation") && args.isEmpty())
        return prepareInstallation();
    if (cmd == QLatin1String("value"))
        return value(args);
    if (cmd == QLatin1String("export-csv"))
        return exportCsv(args);
    return usage();
}
