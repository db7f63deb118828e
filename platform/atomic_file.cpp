#include "platform/atomic_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cstdio>
#include <cstring>

namespace platform {

namespace {

QString notWritten(const QString& path, const QString& why) {
    return QStringLiteral(
               "Die Datei %1 konnte nicht geschrieben werden: %2\r\nEine bisherige Datei dieses Namens bleibt "
               "unverändert.")
        .arg(QDir::toNativeSeparators(path), why);
}

QString readOnly(const QString& path) {
    return QStringLiteral("Die Datei %1 ist schreibgeschützt und wurde nicht ersetzt.")
        .arg(QDir::toNativeSeparators(path));
}

} // namespace

bool IsMarkedReadOnly(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
        return false;
    // The mode bits, not only what the running user may do: the administrator may write anything.
    constexpr auto anyWrite = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    return !(info.permissions() & anyWrite) || !info.isWritable();
}

QString WriteFileAtomically(const QString& path, const QByteArray& bytes) {
    if (IsMarkedReadOnly(path))
        return readOnly(path);
    // Plain system calls: every short write is an error here (a full disk shows as one), where a buffered writer
    // may report success for a file it could not complete.
    const QString temporary = TemporarySibling(path);
    const QByteArray tmpName = QFile::encodeName(temporary);
    const int fd = ::open(tmpName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return notWritten(path, QString::fromLocal8Bit(std::strerror(errno)));
    int error = 0;
    qsizetype done = 0;
    while (done < bytes.size() && !error) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            error = n < 0 ? errno : ENOSPC;
        else
            done += n;
    }
    struct stat previous {};
    if (!error && ::stat(QFile::encodeName(path).constData(), &previous) == 0)
        ::fchmod(fd, previous.st_mode & 07777); // the replacement keeps the old file's permissions
    if (!error && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && !error)
        error = errno;
    if (error) {
        ::unlink(tmpName.constData());
        return notWritten(path, QString::fromLocal8Bit(std::strerror(error)));
    }
    return ReplaceFile(temporary, path, false);
}

QString TemporarySibling(const QString& path) {
    const QFileInfo info(path);
    return info.absolutePath() + QStringLiteral("/.") + info.fileName() + QLatin1Char('.') +
           QUuid::createUuid().toString(QUuid::Id128).left(12) + QStringLiteral(".tmp");
}

QString ReplaceFile(const QString& temporary, const QString& path, bool mustHaveContent) {
    struct Cleanup {
        QString file;
        ~Cleanup() {
            if (!file.isEmpty())
                QFile::remove(file);
        }
    } cleanup{temporary};
    const QFileInfo tmp(temporary);
    if (!tmp.exists() || (mustHaveContent && tmp.size() == 0))
        return notWritten(path, QStringLiteral("Es wurden keine Daten geschrieben."));
    if (IsMarkedReadOnly(path))
        return readOnly(path);
    // rename() replaces the target in one step: there is never a moment without a whole file of that name.
    if (std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(path).constData()) != 0)
        return notWritten(path, QString::fromLocal8Bit(std::strerror(errno)));
    cleanup.file.clear();
    return {};
}

} // namespace platform
