#include "app/brenvik_ini.h"

#include "db/schema.h"
#include "platform/ini.h"
#include "platform/paths.h"

#include <QFileInfo>

namespace brenvik {

QString IniFilePath() { return platform::commonFilesPath() + kIniFileName; }

DbConfig ReadDbConfig(const QString& iniPath) {
    platform::IniProfile ini(iniPath);
    DbConfig c;
    c.database = ini.readString(kSectionDb, QStringLiteral("DATABASE"), kDefaultDatabase);
    c.dbType = ini.readString(kSectionDb, QStringLiteral("DBTYPE"), kDefaultDbType);
    c.user = ini.readString(kSectionDb, QStringLiteral("DBU"), kDefaultDbUser);
    c.password = ini.readString(kSectionDb, QStringLiteral("DBP"), kDefaultDbPassword);
    return c;
}

void OpenConfiguredDatabase(fb::Database& db, const DbConfig& cfg) {
    db.close();
    db.open(cfg.database, cfg.user, cfg.password);
}

namespace {
// A name with a host part ("server:/path", "host/3050:C:\path") goes to a server; a drive letter does not.
bool isLocalFile(const QString& name) {
    const int colon = int(name.indexOf(QLatin1Char(':')));
    if (colon < 0)
        return true;
    return colon == 1 && name.size() > 2 && (name[2] == QLatin1Char('\\') || name[2] == QLatin1Char('/'));
}
} // namespace

QString PrepareFirstUse() {
    QStringList done;
    const QString iniPath = IniFilePath();
    if (!QFileInfo::exists(iniPath)) {
        platform::IniProfile ini(iniPath);
        ini.writeString(kSectionDb, QStringLiteral("DATABASE"), platform::commonFilesPath() + QStringLiteral("brenvik.fdb"));
        ini.writeString(kSectionDb, QStringLiteral("DBTYPE"), kDefaultDbType);
        ini.writeString(kSectionDb, QStringLiteral("DBU"), kDefaultDbUser);
        ini.writeString(kSectionDb, QStringLiteral("DBP"), kDefaultDbPassword);
        ini.writeString(kSectionParameter, QStringLiteral("USE_BACKUP_FOLDER_DB"), QStringLiteral("0"));
        done << QStringLiteral("Konfigurationsdatei %1 angelegt.").arg(iniPath);
    }
    const DbConfig cfg = ReadDbConfig(iniPath);
    if (!cfg.server() && isLocalFile(cfg.database) && cfg.database != kDefaultDatabase &&
        !QFileInfo::exists(cfg.database)) {
        CreateNewDatabase(cfg.database, cfg.user, cfg.password);
        done << QStringLiteral("Datenbank %1 angelegt.").arg(cfg.database);
    }
    if (done.isEmpty())
        done << QStringLiteral("Installation in %1 ist vorhanden.").arg(platform::commonFilesPath());
    return done.join(QLatin1Char('\n'));
}

} // namespace brenvik
