#include "db/backup.h"

#include "db/dbaccess.h"
#include "db/fb.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <ibase.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

namespace backup {

namespace {

// "host:path" names a server; a path alone (or a drive letter "C:\...") the embedded engine.
bool onServer(const QString& database, QString* host = nullptr, QString* path = nullptr) {
    const qsizetype colon = database.indexOf(QLatin1Char(':'));
    const bool server = colon > 1; // "C:" is a drive
    if (host)
        *host = server ? database.left(colon) : QString();
    if (path)
        *path = server ? database.mid(colon + 1) : database;
    return server;
}

QString errorText(const ISC_STATUS* status) {
    QString text;
    char buf[1024];
    const ISC_STATUS* p = status;
    while (fb_interpret(buf, sizeof buf, &p)) {
        if (!text.isEmpty())
            text += QStringLiteral("\r\n");
        text += QString::fromUtf8(buf);
    }
    return text;
}

class Service {
public:
    explicit Service(const Target& db) : threadsBefore_(threadCount()) {
        QString host;
        onServer(db.database, &host);
        const QByteArray name =
            host.isEmpty() ? QByteArray("service_mgr") : (host + QStringLiteral(":service_mgr")).toUtf8();
        std::vector<char> spb{char(isc_spb_version), char(isc_spb_current_version)};
        addText(spb, isc_spb_user_name, db.user.toUtf8(), false);
        addText(spb, isc_spb_password, db.password.toUtf8(), false);
        ISC_STATUS_ARRAY st;
        if (isc_service_attach(st, 0, name.constData(), &handle_, static_cast<unsigned short>(spb.size()), spb.data()))
            throw Exception(QStringLiteral("Der Sicherungsdienst der Datenbank ist nicht erreichbar.\r\n") +
                            errorText(st));
    }
    ~Service() {
        if (handle_) {
            ISC_STATUS_ARRAY st;
            isc_service_detach(st, &handle_);
        }
        // The embedded engine runs the service on a thread of this process that outlives the detach by a moment;
        // shutting the engine down under it (as the process end does) crashes. Wait until it has gone.
        for (int i = 0; i < 1000 && threadCount() > threadsBefore_; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    static int threadCount() {
#ifdef Q_OS_LINUX
        return int(QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
#else
        return 0;
#endif
    }
    Service(const Service&) = delete;
    Service& operator=(const Service&) = delete;

    // A text item: one byte of length in the attach block, two bytes in a service request.
    static void addText(std::vector<char>& b, char tag, const QByteArray& v, bool wide = true) {
        b.push_back(tag);
        if (wide) {
            b.push_back(char(v.size() & 0xff));
            b.push_back(char((v.size() >> 8) & 0xff));
        } else {
            b.push_back(char(v.size()));
        }
        b.insert(b.end(), v.begin(), v.end());
    }
    static void addInt(std::vector<char>& b, char tag, quint32 v) {
        b.push_back(tag);
        for (int i = 0; i < 4; ++i)
            b.push_back(char((v >> (8 * i)) & 0xff));
    }

    // Starts the action and reads its report line by line until it ends; raises the service's failure.
    int run(const std::vector<char>& request, const Progress& progress) {
        ISC_STATUS_ARRAY st;
        if (isc_service_start(st, &handle_, nullptr, static_cast<unsigned short>(request.size()), request.data()))
            throw Exception(errorText(st));
        int lines = 0;
        const char items[] = {isc_info_svc_line};
        std::vector<char> buf(16384);
        for (;;) {
            if (isc_service_query(st, &handle_, nullptr, 0, nullptr, sizeof items, items,
                                  static_cast<unsigned short>(buf.size()), buf.data()))
                throw Exception(errorText(st));
            const char* p = buf.data();
            if (*p != isc_info_svc_line)
                break;
            ++p;
            const int len = int(isc_vax_integer(p, 2));
            p += 2;
            if (len == 0)
                break; // the report has ended
            const QString line = QString::fromUtf8(p, len);
            ++lines;
            if (progress)
                progress(line);
        }
        waitUntilFinished();
        return lines;
    }

    // The report ends before the service's own thread does: a process that ends (or shuts the engine down) while
    // that thread still runs can crash in it. Wait until the service says it is no longer running.
    void waitUntilFinished() {
        const char items[] = {isc_info_svc_running};
        char buf[64];
        for (int i = 0; i < 3000; ++i) {
            ISC_STATUS_ARRAY st;
            if (isc_service_query(st, &handle_, nullptr, 0, nullptr, sizeof items, items, sizeof buf, buf))
                return;
            if (buf[0] != isc_info_svc_running || isc_vax_integer(buf + 1, 4) == 0)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

private:
    int threadsBefore_ = 0;
    isc_svc_handle handle_ = 0;
};

std::vector<char> backupRequest(const QString& dbPath, const QString& file) {
    std::vector<char> r{char(isc_action_svc_backup)};
    Service::addText(r, isc_spb_dbname, dbPath.toUtf8());
    Service::addText(r, isc_spb_bkp_file, file.toUtf8());
    r.push_back(char(isc_spb_verbose));
    return r;
}

std::vector<char> restoreRequest(const QString& file, const QString& dbPath, bool replace) {
    std::vector<char> r{char(isc_action_svc_restore)};
    Service::addText(r, isc_spb_bkp_file, file.toUtf8());
    Service::addText(r, isc_spb_dbname, dbPath.toUtf8());
    Service::addInt(r, isc_spb_options, replace ? isc_spb_res_replace : isc_spb_res_create);
    r.push_back(char(isc_spb_verbose));
    return r;
}

// Drops a database by its connection string; nothing when it does not exist.
void dropDatabase(const Target& db, const QString& name) {
    if (!onServer(name) && !QFileInfo::exists(name))
        return;
    try {
        fb::Database d;
        d.open(name, db.user, db.password);
        ISC_STATUS_ARRAY st;
        isc_drop_database(st, d.handle());
    } catch (const Exception&) {
    }
}

} // namespace

void Backup(const Target& db, const QString& file, const Progress& progress) {
    QString path;
    const bool server = onServer(db.database, nullptr, &path);
    // gbak does not overwrite: an older backup of the same name is replaced only once the new one is complete.
    const QString partial = file + QStringLiteral(".entsteht");
    if (!server)
        QFile::remove(partial);
    try {
        Service svc(db);
        svc.run(backupRequest(path, server ? file : partial), progress);
    } catch (const Exception& e) {
        if (!server)
            QFile::remove(partial);
        throw Exception(QStringLiteral("Die Datensicherung ist fehlgeschlagen.\r\n") + e.message());
    }
    if (!server) {
        if (QFileInfo(partial).size() <= 0) {
            QFile::remove(partial);
            throw Exception(QStringLiteral("Die Datensicherung ist fehlgeschlagen: die Sicherungsdatei ist leer."));
        }
        QFile::remove(file);
        if (!QFile::rename(partial, file)) {
            QFile::remove(partial);
            throw Exception(QStringLiteral("Die Sicherungsdatei %1 konnte nicht geschrieben werden.").arg(file));
        }
    }
}

int OtherAttachments(const Target& db) {
    fb::Database d;
    try {
        d.open(db.database, db.user, db.password);
    } catch (const fb::Error& e) {
        // The embedded engine keeps a file to the one process that has it open.
        if (e.hasCode(isc_already_opened) || e.hasCode(isc_lock_timeout))
            return 1;
        return -1;
    } catch (const Exception&) {
        return -1;
    }
    fb::Transaction tr(d);
    int n = 0;
    {
        fb::Query q(d, QStringLiteral("SELECT COUNT(*) FROM MON$ATTACHMENTS WHERE MON$SYSTEM_FLAG = 0 AND "
                                      "MON$ATTACHMENT_ID <> CURRENT_CONNECTION"));
        q->execute(tr);
        if (q->fetch())
            n = q->asInt(0);
    }
    tr.commit();
    d.close();
    return n;
}

RestoreResult Restore(const Target& db, const QString& file, const RestoreHooks& hooks) {
    RestoreResult res;
    QString host, path;
    const bool server = onServer(db.database, &host, &path);
    if (!server && !QFileInfo::exists(file)) {
        res.message = QStringLiteral("Die Sicherungsdatei %1 ist nicht vorhanden.").arg(file);
        return res;
    }
    // Never under another seat's feet. A damaged or missing database cannot be opened: restoring is the remedy.
    if (OtherAttachments(db) > hooks.ownAttachments) {
        res.message =
            QStringLiteral("Die Datenbank wird von einem anderen Arbeitsplatz verwendet.\r\nBitte beenden Sie "
                           "Brenvik an allen Arbeitsplätzen und wiederholen Sie die Datenrücksicherung.");
        return res;
    }
    const QString copyPath = path + QStringLiteral(".ruecksicherung");
    const QString copy = server ? host + QLatin1Char(':') + copyPath : copyPath;
    const auto progress = [&](const QString& line) {
        ++res.lines;
        if (hooks.progress)
            hooks.progress(line);
    };
    dropDatabase(db, copy);
    if (!server)
        QFile::remove(copyPath);
    try {
        Service svc(db);
        svc.run(restoreRequest(file, copyPath, false), progress);
    } catch (const Exception& e) {
        dropDatabase(db, copy);
        res.message = QStringLiteral("Die Sicherung konnte nicht zurückgelesen werden. Die Datenbank bleibt "
                                     "unverändert.\r\n") +
                      e.message();
        return res;
    }
    // The restored copy must pass the schema check before it may replace anything.
    bool checked = false;
    QString checkFailure;
    {
        fb::Database d;
        fb::Transaction tr(d);
        fb::Database* const prevDb = gBrvDB;
        fb::Transaction* const prevTr = gBrvTrans;
        try {
            d.open(copy, db.user, db.password);
            SetBrvConnection(&d, &tr);
            checked = !hooks.check || hooks.check();
            BrvCommit();
        } catch (const Exception& e) {
            checkFailure = e.message();
        }
        SetBrvConnection(prevDb, prevTr);
        try {
            tr.rollback();
            d.close();
        } catch (...) {
        }
    }
    if (!checked) {
        dropDatabase(db, copy);
        res.message =
            QStringLiteral("Die zurückgelesene Sicherung hat die Prüfung der Datenbankstruktur nicht bestanden. "
                           "Die Datenbank bleibt unverändert.") +
            (checkFailure.isEmpty() ? QString() : QStringLiteral("\r\n") + checkFailure);
        return res;
    }
    if (hooks.detach)
        hooks.detach();
    if (OtherAttachments(db) > 0) {
        dropDatabase(db, copy);
        res.message =
            QStringLiteral("Die Datenbank wird von einem anderen Arbeitsplatz verwendet. Die Datenbank bleibt "
                           "unverändert.");
        return res;
    }
    if (server) {
        // A server's files cannot be renamed from here: the checked backup is restored over the configured one.
        try {
            Service svc(db);
            svc.run(restoreRequest(file, path, true), progress);
        } catch (const Exception& e) {
            res.message = QStringLiteral("Die Datenrücksicherung ist fehlgeschlagen.\r\n") + e.message();
            return res;
        }
        dropDatabase(db, copy);
    } else {
        const QString previous = path + QStringLiteral(".vor_ruecksicherung");
        QFile::remove(previous);
        if (QFileInfo::exists(path) && !QFile::rename(path, previous)) {
            dropDatabase(db, copy);
            res.message = QStringLiteral("Die Datenbankdatei %1 konnte nicht ersetzt werden. Die Datenbank bleibt "
                                         "unverändert.")
                              .arg(path);
            return res;
        }
        if (!QFile::rename(copyPath, path)) {
            QFile::rename(previous, path);
            dropDatabase(db, copy);
            res.message = QStringLiteral("Die Datenbankdatei %1 konnte nicht ersetzt werden. Die Datenbank bleibt "
                                         "unverändert.")
                              .arg(path);
            return res;
        }
        QFile::remove(previous);
    }
    res.restored = true;
    return res;
}

} // namespace backup
