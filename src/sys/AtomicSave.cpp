#include "AtomicSave.h"

#include "UniqueFd.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quellix {

namespace {

QString SystemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Sets `error` when asked for and returns false, for the one-line failure paths.
bool Fail(QString* error, const QString& reason) {
    if (error)
        *error = reason;
    return false;
}

// 0, or the errno of the write that failed; a short write is followed by one that tells why.
int WriteAll(int fd, const QByteArray& bytes) {
    const char* at = bytes.constData();
    std::size_t left = static_cast<std::size_t>(bytes.size());
    while (left > 0) {
        const ssize_t n = ::write(fd, at, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : ENOSPC;
        at += n;
        left -= static_cast<std::size_t>(n);
    }
    return 0;
}

// Closes `fd` once, whatever happens, and tells whether that went well: NFS and quotas may report a
// failed write only here.
int CloseChecked(UniqueFd& fd) {
    const int raw = fd.Release();
    return ::close(raw) == 0 || errno == EINTR ? 0 : errno;
}

// The file a save replaces: symbolic links followed to the file they name, even one not there yet.
QString FinalPath(const QString& path) {
    QFileInfo info(path);
    for (int depth = 0; depth < 40 && info.isSymLink(); ++depth)
        info.setFile(info.symLinkTarget());
    return info.filePath();
}

QByteArray Native(const QString& path) {
    return QFile::encodeName(path);
}

// A new file named `final` plus a random suffix, with `mode` (the old file's, or 0666 less the umask).
UniqueFd CreateTemporary(const QString& final, mode_t mode, QByteArray& name) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = Native(final) + '.' + QByteArray::number(QRandomGenerator::global()->generate(), 36);
        UniqueFd fd(::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
        if (fd.IsValid() || errno != EEXIST)
            return fd;
    }
    return UniqueFd();
}

// The content written through `fd` and made durable; 0 or the errno of the step that failed.
int WriteDurably(UniqueFd& fd, const QByteArray& bytes) {
    if (const int e = WriteAll(fd.Get(), bytes))
        return e;
    if (::fsync(fd.Get()) != 0)
        return errno;
    return CloseChecked(fd);
}

// Where the directory refuses the temporary file: over the old bytes, then cut to length.
bool SaveInPlace(const QString& final, const QByteArray& bytes, QString* error) {
    UniqueFd fd(::open(Native(final).constData(), O_WRONLY | O_CLOEXEC));
    if (!fd.IsValid())
        return Fail(error, SystemError(errno));
    int e = WriteAll(fd.Get(), bytes);
    if (e == 0 && ::ftruncate(fd.Get(), bytes.size()) != 0)
        e = errno;
    if (e == 0 && ::fsync(fd.Get()) != 0)
        e = errno;
    if (e == 0)
        e = CloseChecked(fd);
    return e == 0 || Fail(error, SystemError(e));
}

// The rename is durable only once the directory is; a failure here loses nothing already written.
void SyncDirectory(const QString& final) {
    UniqueFd dir(
        ::open(Native(QFileInfo(final).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.IsValid())
        ::fsync(dir.Get());
}

// Moves the temporary file to its name unless that name is taken meanwhile; 0 or the errno.
int MoveWithoutReplacing(const QByteArray& temporary, const QString& final) {
    const QByteArray name = Native(final);
    if (::renameat2(AT_FDCWD, temporary.constData(), AT_FDCWD, name.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    // File systems without the flag (NFS among them) still refuse a link to a name that is taken.
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    if (::link(temporary.constData(), name.constData()) != 0)
        return errno;
    ::unlink(temporary.constData());
    return 0;
}

bool SaveReplacing(const QString& path, const QByteArray& bytes, const SaveOptions& options, QString* error) {
    const QString final = FinalPath(path);
    struct stat old {};
    const bool exists = ::stat(Native(final).constData(), &old) == 0;
    if (exists && options.keepOnceWritten)
        return Fail(error, QStringLiteral("a file of that name exists and is kept as it is"));
    QByteArray temporary;
    UniqueFd fd = CreateTemporary(final, exists ? old.st_mode & 07777 : 0666, temporary);
    if (!fd.IsValid()) {
        const int e = errno;
        if (options.inPlaceFallback && exists)
            return SaveInPlace(final, bytes, error);
        return Fail(error, SystemError(e));
    }
    // The mode given to open() lost the bits the umask holds; the old file's are kept whole.
    if (exists)
        ::fchmod(fd.Get(), old.st_mode & 07777);
    if (options.keepOnceWritten)
        ::fchmod(fd.Get(), 0444);
    int e = WriteDurably(fd, bytes);
    if (e == 0 && options.keepOnceWritten)
        e = MoveWithoutReplacing(temporary, final);
    else if (e == 0 && ::rename(temporary.constData(), Native(final).constData()) != 0)
        e = errno;
    if (e != 0) {
        ::unlink(temporary.constData());
        return Fail(error, SystemError(e));
    }
    SyncDirectory(final);
    return true;
}

bool SaveIntoStream(const QString& path, const QByteArray& bytes, bool fifo, const SaveOptions& options,
                    QString* error) {
    const int wait = fifo && !options.waitForReader ? O_NONBLOCK : 0;
    UniqueFd fd(::open(Native(path).constData(), O_WRONLY | O_NOCTTY | O_CLOEXEC | wait));
    if (!fd.IsValid())
        return Fail(error, errno == ENXIO && fifo ? QStringLiteral("no program reads from this FIFO")
                                                  : SystemError(errno));
    if (wait)
        ::fcntl(fd.Get(), F_SETFL, ::fcntl(fd.Get(), F_GETFL) & ~O_NONBLOCK);
    int e = WriteAll(fd.Get(), bytes);
    if (e == 0)
        e = CloseChecked(fd);
    return e == 0 || Fail(error, SystemError(e));
}

enum class Target { Replace, Stream, Fifo, Refused };

Target TargetOf(const QString& path, QString* why) {
    struct stat st {};
    if (::stat(Native(path).constData(), &st) != 0) {
        if (errno == ENOENT)
            return Target::Replace;
        *why = SystemError(errno);
        return Target::Refused;
    }
    if (S_ISREG(st.st_mode))
        return Target::Replace;
    if (S_ISCHR(st.st_mode))
        return Target::Stream;
    if (S_ISFIFO(st.st_mode))
        return Target::Fifo;
    *why = S_ISDIR(st.st_mode) ? QStringLiteral("it is a directory")
                               : QStringLiteral("it is neither a file nor a character device or FIFO");
    return Target::Refused;
}

} // namespace

bool SaveFileAtomically(const QString& path, const QByteArray& bytes, const SaveOptions& options,
                        QString* error) {
    IgnoreFileSizeSignal();
    QString why;
    switch (TargetOf(path, &why)) {
    case Target::Replace:
        return SaveReplacing(path, bytes, options, error);
    case Target::Stream:
        return SaveIntoStream(path, bytes, false, options, error);
    case Target::Fifo:
        return SaveIntoStream(path, bytes, true, options, error);
    case Target::Refused:
        break;
    }
    return Fail(error, why);
}

bool CanSaveFile(const QString& path, QString* error) {
    QString why;
    switch (TargetOf(path, &why)) {
    case Target::Replace:
        break;
    case Target::Stream:
    case Target::Fifo:
        return true;
    case Target::Refused:
        return Fail(error, why);
    }
    const QString dir = QFileInfo(FinalPath(path)).absolutePath();
    if (::access(Native(dir).constData(), W_OK | X_OK) != 0)
        return Fail(error, dir + QStringLiteral(": ") + SystemError(errno));
    return true;
}

QString SystemErrorText(int error) {
    return SystemError(error);
}

void IgnoreFileSizeSignal() {
    struct sigaction current {};
    if (::sigaction(SIGXFSZ, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        ::sigemptyset(&ignore.sa_mask);
        ::sigaction(SIGXFSZ, &ignore, nullptr);
    }
}

} // namespace quellix
