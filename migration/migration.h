#pragma once
// The one-time takeover of the predecessor's data (clients, addresses, stock key figures, asset register) into a
// new, empty database, and the copy of the old installation folder.

#include "migration/legacy_source.h"

#include <QString>

#include <functional>

// Empty when the database is still empty; otherwise the refusal shown in the log.
QString MigrationStartRefusal();

struct MigrationCallbacks {
    std::function<void(const QString&)> log;
    std::function<void(int done, int total)> progress;
};

// Runs the four sections in their order. Client storage paths lead into dataFolder (the folder the user can write,
// where CopyLegacyFolder puts the old files). A failing section (a duplicate legacy key included) logs its error line
// and ends the migration (false); what was written before stays.
bool RunMigration(LegacySource& source, const QString& dataFolder, const MigrationCallbacks& cb);

// A folder of the old installation ("kunden\\meier") as a path below the data folder of this platform.
// Never leads out of it: drives, servers and ".." going above the data folder are dropped.
QString LegacyRelativePath(const QString& legacyValue);

// Copies the content of the legacy file's folder into the data folder; existing files are kept. False when a file
// could not be copied.
bool CopyLegacyFolder(const QString& legacyFile, const QString& dataFolder);

// The whole migration of one Access file as the window and brenvik-cli run it: the file opened with mdbtools, the
// four sections, the folder copy, every step in the log. The caller checks MigrationStartRefusal first.
struct MigrationRun {
    bool opened = false;   // the file could be read (else error holds why)
    bool migrated = false; // every section ran
    bool copied = false;   // the old folder was copied
    QString error;
};
MigrationRun MigrateLegacyFile(const QString& legacyFile, const QString& dataFolder, const MigrationCallbacks& cb);
