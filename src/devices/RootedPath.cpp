#include "RootedPath.h"

#include <QFile>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>

namespace quellix {

namespace {

// Longest symbolic-link chain followed, as the kernel's limit.
constexpr int kMaxLinkHops = 40;

QString Child(const QString& dir, const QString& name) {
    return dir == QLatin1String("/") ? "/" + name : dir + "/" + name;
}

} // namespace

QString ParentDir(const QString& path) {
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

QString Rooted(const QString& rootPrefix, const QString& path) {
    if (rootPrefix.isEmpty())
        return path;
    return rootPrefix.endsWith('/') ? rootPrefix.chopped(1) + path : rootPrefix + path;
}

QString ResolveInRoot(const QString& rootPrefix, const QString& path) {
    QStringList pending = path.split('/', Qt::SkipEmptyParts);
    std::reverse(pending.begin(), pending.end());
    QString result = QStringLiteral("/");
    int hops = 0;
    while (!pending.isEmpty()) {
        const QString part = pending.takeLast();
        if (part == QLatin1String("."))
            continue;
        if (part == QLatin1String("..")) {
            result = ParentDir(result);
            continue;
        }
        const QString candidate = Child(result, part);
        struct stat st {};
        if (::lstat(QFile::encodeName(Rooted(rootPrefix, candidate)).constData(), &st) != 0)
            return {};
        if (!S_ISLNK(st.st_mode)) {
            result = candidate;
            continue;
        }
        if (++hops > kMaxLinkHops)
            return {};
        const QString target = RawLinkTarget(Rooted(rootPrefix, candidate));
        if (target.isEmpty())
            return {};
        if (target.startsWith('/'))
            result = QStringLiteral("/");
        QStringList targetParts = target.split('/', Qt::SkipEmptyParts);
        std::reverse(targetParts.begin(), targetParts.end());
        pending += targetParts;
    }
    return result;
}

QString RawLinkTarget(const QString& rootedPath) {
    const QByteArray name = QFile::encodeName(rootedPath);
    QByteArray buffer(4096, '\0');
    const ssize_t n = ::readlink(name.constData(), buffer.data(), static_cast<size_t>(buffer.size()));
    if (n <= 0 || n >= buffer.size())
        return {};
    return QFile::decodeName(buffer.left(n));
}

QString ReadAttribute(const QString& rootedPath) {
    QFile file(rootedPath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // Attributes are short; a bound keeps a stray large file from being read whole.
    return QString::fromUtf8(file.read(4096)).trimmed();
}

QStringList DirectoryEntries(const QString& rootedPath) {
    // readdir rather than QDir: QDir filters by what the entry points to, and /proc fd links point to
    // devices, sockets and pipes alike.
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(QFile::encodeName(rootedPath).constData()),
                                            &::closedir);
    QStringList names;
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir.get())) {
        const QString name = QFile::decodeName(entry->d_name);
        if (name != QLatin1String(".") && name != QLatin1String(".."))
            names.append(name);
    }
    names.sort();
    return names;
}

} // namespace quellix
