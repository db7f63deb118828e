#pragma once
// The configuration file "brenvik.ini": its keys, their defaults, and the opening of the database it names.
// The application and the command-line tool read it through these functions alone.

#include "db/fb.h"

#include <QString>

namespace brenvik {

inline const QString kIniFileName = QStringLiteral("brenvik.ini");
inline const QString kSectionDb = QStringLiteral("BRENVIK-DB");
inline const QString kSectionParameter = QStringLiteral("BRENVIK-PARAMETER");
// No usable database name: a missing file surfaces as a failed open.
inline const QString kDefaultDatabase = QStringLiteral("Database error");
inline const QString kDefaultDbType = QStringLiteral("LOCAL");
// The administrator account that every Firebird server has; the embedded engine ignores the password.
inline const QString kDefaultDbUser = QStringLiteral("SYSDBA");
inline const QString kDefaultDbPassword = QStringLiteral("KORMA");

struct DbConfig {
    QString database = kDefaultDatabase;
    QString dbType = kDefaultDbType;
    QString user = kDefaultDbUser;
    QString password = kDefaultDbPassword;
    bool server() const { return dbType == QLatin1String("EXTERN"); }
};

// The ini file in the common data folder.
QString IniFilePath();
DbConfig ReadDbConfig(const QString& iniPath);

// Closes db, opens it with the configured name and login.
void OpenConfiguredDatabase(fb::Database& db, const DbConfig& cfg);

// Prepares a first-use installation: the data folder, a brenvik.ini naming an embedded database file in it,
// that database, and the shipped index series and building catalogues in it. Leaves an existing ini file, an
// existing database and series or catalogues already present alone. Returns what it did, in German.
QString PrepareFirstUse();

// The folder with the update files a new installation starts from: BRENVIK_SHIPPED_DATA when set, else "data"
// beside or above the program's folder, else the data folder of the source tree it was built from.
QString ShippedDataFolder();

// Loads the update files of the folder into the open database: the index series when there are none yet, and each
// building catalogue whose table is empty. Returns one German line per import.
QStringList LoadShippedData(const QString& folder);

} // namespace brenvik
