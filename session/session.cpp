#include "session/session.h"

#include "db/dbaccess.h"
#include "db/schema.h"
#include "platform/ini.h"
#include "platform/paths.h"

namespace session {

Session::Session(LogFn log) : log_(std::move(log)) {}

Session::~Session() {
    close();
}

void Session::log(const QString& code, const QString& text) const {
    if (log_)
        log_(code, text);
}

void Session::openConfigured() {
    try {
        commonFilesPath_ = platform::commonFilesPath();
        config_ = brenvik::ReadDbConfig(commonFilesPath_ + brenvik::kIniFileName);
    } catch (const Exception& e) {
        log(QStringLiteral("BRV102000"),
            QStringLiteral("Die Brenvik-Konfiguration konnte nicht gelesen werden.\r\nSystemnachricht: ") +
                e.message());
    }
    open(config_, commonFilesPath_);
}

void Session::open(const brenvik::DbConfig& cfg, const QString& commonFilesPath) {
    close();
    config_ = cfg;
    commonFilesPath_ = commonFilesPath.isEmpty() ? platform::commonFilesPath() : commonFilesPath;
    brenvik::OpenConfiguredDatabase(IBBrvDB, config_);
    gCommonFilesPath = commonFilesPath_;
    IBBrvTrans.start();
    SetBrvConnection(&IBBrvDB, &IBBrvTrans);
}

int Session::checkSchema() {
    const int r = CheckDatabaseStructure();
    if (r < 2) {
        try {
            backupFolder_ = platform::withTrailingSeparator(GetKonfiguration(QStringLiteral("BACKUP_FOLDER")));
        } catch (...) {
            backupFolder_.clear();
        }
    }
    return r;
}

void Session::readParameters() {
    try {
        platform::IniProfile ini(platform::commonFilesPath() + brenvik::kIniFileName);
        if (backupFolder_.isEmpty()) {
            // Nothing configured stays nothing: a lone separator would name the root folder.
            const QString folder = ini.readString(brenvik::kSectionParameter, QStringLiteral("BACKUP_FOLDER"), {});
            backupFolder_ = folder.isEmpty() ? QString() : platform::withTrailingSeparator(folder);
        }
        useBackupFolderDb_ =
            ini.readString(brenvik::kSectionParameter, QStringLiteral("USE_BACKUP_FOLDER_DB"), QStringLiteral("0"));
    } catch (const Exception& e) {
        log(QStringLiteral("BRV102001"),
            QStringLiteral("Die Brenvik-Konfiguration konnte nicht gelesen werden.\r\nSystemnachricht: ") +
                e.message());
        backupFolder_.clear();
    }
}

int Session::registerUser(const QString& login) {
    try {
        RegisterBenutzerLogin(login);
        TBrenvikBenutzer user;
        GetBenutzer(login, user);
        userNr_ = user.benutzer_nr;
        return userNr_;
    } catch (const EBrvException_NODATA&) {
        throw EBrvException_DBERROR(QStringLiteral("Fehler beim Zugriff auf Benutzerinformationen."));
    } catch (const EBrvException_DBERROR&) {
        throw;
    } catch (const Exception& e) {
        throw EBrvException_DBERROR(e.message());
    }
}

void Session::releaseAbandonedLocks() {
    try {
        ReleaseAbandonedLocks(userNr_);
    } catch (const Exception& e) {
        log(QStringLiteral("BRV100300"),
            QStringLiteral("Verwaiste Sperren konnten nicht aufgehoben werden.\r\n") + e.message());
    }
}

ClientLock Session::takeClient(int clientNr) {
    ClientLock l;
    l.code = MandantLock(true, userNr_, clientNr, l.holder);
    if (l.held())
        tookLock_ = true;
    return l;
}

void Session::giveBackClient(int clientNr) {
    QString holder;
    MandantLock(false, userNr_, clientNr, holder);
}

bool Session::sharesConnection() const {
    return gBrvDB == &IBBrvDB;
}

void Session::close() {
    // A registered seat may hold locks it took on other ways (a new client is locked by its creator as it is
    // saved): every lock of this attachment goes.
    if (sharesConnection() && IBBrvDB.isOpen() && (userNr_ > 0 || tookLock_)) {
        QString holder;
        MandantLock(false, userNr_, -1, holder);
    }
    tookLock_ = false;
    if (sharesConnection())
        SetBrvConnection(nullptr, nullptr);
    try {
        if (IBBrvTrans.active()) {
            try {
                IBBrvTrans.commit();
            } catch (...) {
                IBBrvTrans.rollback();
            }
        }
        IBBrvDB.close();
    } catch (...) {
    }
}

void Session::detach() {
    if (sharesConnection())
        SetBrvConnection(nullptr, nullptr);
    try {
        if (IBBrvTrans.active())
            IBBrvTrans.rollback();
        IBBrvDB.close();
    } catch (...) {
    }
}

void Session::attach() {
    brenvik::OpenConfiguredDatabase(IBBrvDB, config_);
    SetBrvConnection(&IBBrvDB, &IBBrvTrans);
}

} // namespace session
