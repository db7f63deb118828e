// brenvik-cli: the headless tool. Reads brenvik.ini exactly as the application does.

#include "app/brenvik_ini.h"
#include "db/dbaccess.h"
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
                       "Datenbank ein"));
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
    return usage();
}
