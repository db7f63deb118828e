#pragma once
// Backup and restore of the whole database through the Firebird service manager (gbak format): the embedded
// engine's own for a file on this machine, the server's for a database on a server.

#include "db/brenvik_types.h"

#include <functional>

namespace backup {

// The database as configured: the connection string (a path, or "host:path") and its credentials.
struct Target {
    QString database;
    QString user;
    QString password;
};

// One line of the service's report, for a progress display.
using Progress = std::function<void(const QString& line)>;

// Writes a backup of the database to file (on a server: a path on the server's machine). Raises Exception with the
// service's German-framed message on failure; a half-written file is removed.
void Backup(const Target& db, const QString& file, const Progress& progress = {});

// What a restore did.
struct RestoreResult {
    bool restored = false;
    QString message; // German, for the user: the reason of a refusal or failure
    int lines = 0;   // lines of the service's report
};

// Hooks of the caller around the replacement of the configured database.
struct RestoreHooks {
    // The caller's own attachments to the configured database at the start (detached by detach()).
    int ownAttachments = 0;
    // Checks the restored copy while it is the shared connection (the schema check); false refuses it.
    std::function<bool()> check;
    // Called once the copy is checked, right before the configured database is replaced: the caller detaches every
    // connection of its own to it.
    std::function<void()> detach;
    Progress progress;
};

// Restores the backup file into a new database beside the configured one, checks it, and only then replaces the
// configured database with it. Refused while another seat is attached to the configured database. On this
// machine the replaced file is kept until the new one is in place; on a server the checked backup is restored
// over the configured database.
RestoreResult Restore(const Target& db, const QString& file, const RestoreHooks& hooks);

// Seats other than the caller's own attachment (when given) attached to the database; -1 when it cannot be opened.
int OtherAttachments(const Target& db);

} // namespace backup
