#pragma once
// The session of one seat with its database, from the open to the end: the configured database as the shared
// connection, the schema check, the seat's parameters, the user of the program, the client locks and their release.
// One object for the main window, the command-line tool and the tests; its destructor ends the session in order
// (this seat's locks given back, the transaction ended, the database detached) whatever way the caller leaves.

#include "db/brenvik_config.h"
#include "db/fb.h"
#include "session/brenvik_ini.h"

#include <QString>

#include <functional>

namespace session {

// Where the session reports what went wrong on the way (code "BRV" + six digits, German text): the main window's
// event log, the command-line tool's standard error. Nothing is reported without one.
using LogFn = std::function<void(const QString& code, const QString& text)>;

// A take of a client's lock: kLockDone when this seat holds it now; otherwise the code of MandantLock and, when
// another seat holds the client, that seat's login.
struct ClientLock {
    int code = kLockDbError;
    QString holder;
    bool held() const { return code == kLockDone; }
};

class Session {
public:
    explicit Session(LogFn log = {});
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // The database that brenvik.ini of the data folder names, as the shared connection with its transaction
    // started. An ini file that cannot be read is logged (BRV102000) and the defaults are tried, so that the open
    // then fails with their name. Raises Exception when the database cannot be opened.
    void openConfigured();
    // The same for a given database (the tests, a seat of the multi-seat tests); commonFilesPath is the folder
    // the schema check fills a new building-type table from (the data folder when empty).
    void open(const brenvik::DbConfig& cfg, const QString& commonFilesPath = {});
    // The schema check and upgrade (CheckDatabaseStructure's result: below 2 the database is usable); on success the
    // central backup folder of the database is read.
    int checkSchema();
    // The seat's parameters of brenvik.ini: BACKUP_FOLDER unless the database names one, USE_BACKUP_FOLDER_DB.
    // A file that cannot be read is logged (BRV102001) and leaves no backup folder.
    void readParameters();
    // Registers the login as the program's user of this seat and returns the user number. Raises
    // EBrvException_DBERROR when the user table cannot be written or read.
    int registerUser(const QString& login);
    // Frees the locks this user left behind on seats that have gone; a failure is logged (BRV100300).
    void releaseAbandonedLocks();

    // The lock protocol: a click in the client tree gives back the client shown before and takes the new one; a
    // run of the command-line tool takes its client for the run.
    ClientLock takeClient(int clientNr);
    void giveBackClient(int clientNr);

    // Gives back every lock of this seat, ends the transaction and detaches. Idempotent; the destructor calls it.
    void close();
    // Detaches without ending anything in order (the transaction rolled back, the locks go with the attachment),
    // so that another process can open an embedded file; attach() opens the same database again.
    void detach();
    void attach();

    bool isOpen() const { return IBBrvDB.isOpen(); }
    // Whether the shared connection of the data-access functions is this session's.
    bool sharesConnection() const;
    const brenvik::DbConfig& config() const { return config_; }
    bool server() const { return config_.server(); }
    QString commonFilesPath() const { return commonFilesPath_; }
    // With a trailing separator; empty when none is configured.
    QString backupFolder() const { return backupFolder_; }
    QString useBackupFolderDb() const { return useBackupFolderDb_; }
    int userNr() const { return userNr_; }

    fb::Database& database() { return IBBrvDB; }
    fb::Transaction& transaction() { return IBBrvTrans; }

private:
    void log(const QString& code, const QString& text) const;

    LogFn log_;
    brenvik::DbConfig config_;
    QString commonFilesPath_;
    QString backupFolder_;
    QString useBackupFolderDb_ = QStringLiteral("0");
    int userNr_ = 0;
    bool tookLock_ = false;
    fb::Database IBBrvDB;
    fb::Transaction IBBrvTrans{IBBrvDB};
};

} // namespace session
