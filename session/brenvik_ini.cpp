#include "session/brenvik_ini.h"

#include "session/session.h"

#include "assets/index_files.h"
#include "building/gebtypes.h"
#include "db/dbaccess.h"
#include "db/schema.h"
#include "platform/ini.h"
#include "platform/paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace brenvik {

QString IniFilePath() {
    return platform::commonFilesPath() + kIniFileName;
}

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
        ini.writeString(kSectionDb, QStringLiteral("DATABASE"),
                        platform::commonFilesPath() + QStringLiteral("brenvik.fdb"));
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
    const QString shipped = ShippedDataFolder();
    // The schema check fills a re-created building-type table from the common data folder.
    const QString typesInCommon = platform::commonFilesPath() + QStringLiteral("DataGebTypes.dat");
    if (!shipped.isEmpty() && !QFileInfo::exists(typesInCommon) &&
        QFile::copy(QDir(shipped).filePath(QStringLiteral("DataGebTypes.dat")), typesInCommon))
        done << QStringLiteral("Gebäudetypen nach %1 kopiert.").arg(typesInCommon);
    if (!cfg.server() && isLocalFile(cfg.database) && QFileInfo::exists(cfg.database)) {
        if (shipped.isEmpty())
            throw Exception(QStringLiteral("Die mitgelieferten Index- und Gebäudedaten wurden nicht gefunden."));
        session::Session session;
        try {
            session.open(cfg, platform::commonFilesPath());
        } catch (const Exception& e) {
            // Most often the program itself holds the embedded file; the start must not fail for that.
            done << QStringLiteral("Die Datenbank %1 kann jetzt nicht geöffnet werden; die mitgelieferten Daten werden "
                                   "beim nächsten Einrichten geprüft.\nSystemmeldung: %2")
                        .arg(cfg.database, e.message());
            return done.join(QLatin1Char('\n'));
        }
        if (session.checkSchema() >= 2)
            throw Exception(QStringLiteral("Die Überprüfung der Datenbankstrukturen ist fehlgeschlagen."));
        done << LoadShippedData(shipped);
        BrvCommit();
    }
    if (done.isEmpty())
        done << QStringLiteral("Installation in %1 ist vorhanden.").arg(platform::commonFilesPath());
    return done.join(QLatin1Char('\n'));
}

QString ShippedDataFolder() {
    QString env = qEnvironmentVariable("BRENVIK_SHIPPED_DATA");
    if (!env.isEmpty())
        return env;
    QStringList candidates;
    if (QCoreApplication::instance()) {
        const QDir app(QCoreApplication::applicationDirPath());
        candidates << app.filePath(QStringLiteral("data")) << app.filePath(QStringLiteral("../data"));
    }
    candidates << QStringLiteral(BRENVIK_SOURCE_DIR "/data");
    for (const QString& c : candidates)
        if (QFileInfo::exists(QDir(c).filePath(QStringLiteral("idx_ex.dat"))))
            return QDir(c).absolutePath();
    return {};
}

namespace {
bool tableEmpty(const QString& table) {
    BrvSql q(QStringLiteral("SELECT FIRST 1 1 FROM ") + table);
    return !q.next();
}
} // namespace

QStringList LoadShippedData(const QString& folder) {
    QStringList done;
    if (tableEmpty(QStringLiteral("INDEXBESCHREIBUNGEN"))) {
        const IndexImportResult r = ImportIndexFiles(folder, {});
        done << QStringLiteral("Es wurden %1 Indexreihen mit %2 Indexwerten importiert.")
                    .arg(r.descriptions)
                    .arg(r.values);
    }
    const std::pair<const char*, QString (*)(const QString&)> catalogues[] = {{"TABGEBBAUTEILE", ::ImportBauteileDAT},
                                                                              {"TABGEBAUFZUG", ::ImportAufzugDat},
                                                                              {"TABGEBTYPES", ::ImportGebTypeDAT}};
    for (const auto& [table, import] : catalogues)
        if (tableEmpty(QString::fromLatin1(table))) {
            const QString line = import(folder);
            if (!line.isEmpty())
                done << line;
        }
    return done;
}

} // namespace brenvik
