#include "platform/paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QLockFile>
#include <QTranslator>
#include <QStandardPaths>

#include <memory>

#ifdef Q_OS_UNIX
#include <pwd.h>
#include <unistd.h>
#endif

namespace platform {

QString withTrailingSeparator(const QString& path) {
    const QChar sep = QDir::separator();
    if (!path.isEmpty() && (path.back() == sep || path.back() == QLatin1Char('/')))
        return path;
    return path + sep;
}

QString appFolder() {
    return withTrailingSeparator(QDir::toNativeSeparators(QCoreApplication::applicationDirPath()));
}

QString commonAppDataFolder() {
#ifdef Q_OS_WIN
    QString base = qEnvironmentVariable("ProgramData");
#else
    QString base = QStringLiteral("/var/lib");
#endif
    if (base.isEmpty() || !QFileInfo(base).isDir())
        return {};
    return base;
}

QString commonFilesPath() {
    QString folder = qEnvironmentVariable("BRENVIK_DATA_DIR");
    if (folder.isEmpty()) {
        const QString base = commonAppDataFolder();
        folder = withTrailingSeparator(base) + QStringLiteral("Brenvik");
    }
    QDir().mkpath(folder);
    return withTrailingSeparator(QDir::toNativeSeparators(folder));
}

QString loginName() {
    QString name;
#ifdef Q_OS_UNIX
    if (const passwd* pw = getpwuid(geteuid()); pw && pw->pw_name)
        name = QString::fromLocal8Bit(pw->pw_name);
#endif
    if (name.isEmpty())
        name = qEnvironmentVariable("USERNAME", qEnvironmentVariable("USER", qEnvironmentVariable("LOGNAME")));
    if (name.isEmpty())
        name = QStringLiteral("unbekannt");
    return name.left(79);
}

SingleInstanceGuard::SingleInstanceGuard(const QString& name) {
    QString dir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (dir.isEmpty() || !QFileInfo(dir).isWritable())
        dir = QDir::tempPath();
    QString file = name;
#ifdef Q_OS_UNIX
    file += QStringLiteral("-%1").arg(geteuid());
#endif
    lock_ = std::make_unique<QLockFile>(withTrailingSeparator(dir) + file + QStringLiteral(".lock"));
    lock_->setStaleLockTime(0); // a lock is stale only when its process is gone
}

SingleInstanceGuard::~SingleInstanceGuard() = default;

bool SingleInstanceGuard::acquire() {
    if (lock_->isLocked())
        return true;
    return lock_->tryLock(0);
}

} // namespace platform

#ifdef Q_OS_UNIX
#include <QSocketNotifier>

#include <atomic>
#include <csignal>
#include <pthread.h>
#include <sys/socket.h>
#include <thread>

namespace platform {
namespace {
int gSignalFd[2] = {-1, -1};
std::atomic<bool> gTerminationRequested{false};

sigset_t terminationSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        sigaddset(&set, sig);
    return set;
}
} // namespace

void blockTerminationSignals() {
    const sigset_t set = terminationSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

bool terminationRequested() {
    return gTerminationRequested.load();
}

void onTerminationSignal(const std::function<void()>& onSignal) {
    if (gSignalFd[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, gSignalFd) != 0)
        return;
    if (QCoreApplication::instance() && onSignal) {
        auto* notifier = new QSocketNotifier(gSignalFd[1], QSocketNotifier::Read, QCoreApplication::instance());
        QObject::connect(notifier, &QSocketNotifier::activated, notifier, [onSignal](QSocketDescriptor) {
            char c;
            [[maybe_unused]] auto n = ::read(gSignalFd[1], &c, 1);
            onSignal();
        });
    }
    // The signals are blocked in every thread (blockTerminationSignals before any thread started) and taken here,
    // on a thread of their own: a handler running on one of the database engine's threads would interrupt it in
    // the middle of its work, and the engine then never finishes detaching.
    std::thread([] {
        const sigset_t set = terminationSignals();
        for (;;) {
            int sig = 0;
            if (sigwait(&set, &sig) != 0)
                continue;
            gTerminationRequested.store(true);
            const char c = 1;
            [[maybe_unused]] auto n = ::write(gSignalFd[0], &c, 1);
        }
    }).detach();
}
} // namespace platform
#else
namespace platform {
void blockTerminationSignals() {}
bool terminationRequested() {
    return false;
}
void onTerminationSignal(const std::function<void()>&) {}
} // namespace platform
#endif

void platform::useGermanLocaleWhenUnset() {
    if (QLocale::system().language() == QLocale::C)
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
}

void platform::preferGermanSystemLocale() {
    const auto unset = [](const char* name) {
        const QByteArray v = qgetenv(name);
        return v.isEmpty() || v == "C" || v == "POSIX" || v.startsWith("C.");
    };
    if (!unset("LC_ALL") || !unset("LC_TIME") || !unset("LANG"))
        return;
    qunsetenv("LC_ALL");
    qunsetenv("LC_TIME");
    qputenv("LANG", "de_DE.UTF-8");
}

bool platform::loadGermanQtTranslations() {
    // Held for the life of the application, as the application holds no ownership of installed translators.
    static QTranslator* translator = nullptr;
    if (translator)
        return true;
    auto t = std::make_unique<QTranslator>();
    const QStringList folders = {QLibraryInfo::path(QLibraryInfo::TranslationsPath),
                                 QCoreApplication::applicationDirPath() + QStringLiteral("/translations")};
    for (const QString& folder : folders) {
        if (t->load(QStringLiteral("qtbase_de"), folder) && QCoreApplication::installTranslator(t.get())) {
            translator = t.release();
            return true;
        }
    }
    return false;
}

QString platform::resolveClientFolder(const QString& stored, bool relativeToBackupFolder, const QString& backupFolder) {
    const QString path = stored.trimmed();
    if (!path.isEmpty() && QDir::isAbsolutePath(path))
        return withTrailingSeparator(QDir::cleanPath(path));
    QString base =
        relativeToBackupFolder && !backupFolder.trimmed().isEmpty() && QDir::isAbsolutePath(backupFolder.trimmed())
            ? backupFolder.trimmed()
            : commonFilesPath();
    base = withTrailingSeparator(QDir::cleanPath(base));
    return path.isEmpty() ? base : withTrailingSeparator(QDir::cleanPath(base + path));
}
