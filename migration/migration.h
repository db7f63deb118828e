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

// Runs the four sections in their order. A failing section logs its error line and ends the migration (false);
// what was written before stays.
bool RunMigration(LegacySource& source, const QString& appFolder, const MigrationCallbacks& cb);

// Copies the content of the legacy file's folder into the program folder; existing files are kept. False when a file
// could not be copied.
bool CopyLegacyFolder(const QString& legacyFile, const QString& appFolder);
