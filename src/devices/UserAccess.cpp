#include "UserAccess.h"

#include "RootedPath.h"

#include <QFile>

#include <cerrno>
#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <vector>

namespace quellix {

namespace {

// Buffer for the reentrant database calls; grown when an entry (a large group) needs more.
constexpr size_t kInitialEntryBuffer = 4096;
constexpr size_t kMaxEntryBuffer = 1 << 20;

GroupEntry FromGroupFile(gid_t gid, const QString& path) {
    QFile file(path);
    GroupEntry entry;
    if (!file.open(QIODevice::ReadOnly))
        return entry;
    while (!file.atEnd()) {
        const QStringList fields = QString::fromUtf8(file.readLine()).trimmed().split(':');
        bool ok = false;
        if (fields.size() < 4 || fields[2].toUInt(&ok) != gid || !ok)
            continue;
        entry.found = true;
        entry.name = fields[0];
        entry.members = fields[3].split(',', Qt::SkipEmptyParts);
        break;
    }
    return entry;
}

GroupEntry FromDatabase(gid_t gid) {
    GroupEntry entry;
    std::vector<char> buffer(kInitialEntryBuffer);
    group grp{};
    group* result = nullptr;
    int rc = 0;
    while ((rc = ::getgrgid_r(gid, &grp, buffer.data(), buffer.size(), &result)) == ERANGE &&
           buffer.size() < kMaxEntryBuffer)
        buffer.resize(buffer.size() * 2);
    if (rc != 0 || result == nullptr)
        return entry;
    entry.found = true;
    entry.name = QString::fromLocal8Bit(grp.gr_name);
    for (char** member = grp.gr_mem; member != nullptr && *member != nullptr; ++member)
        entry.members.append(QString::fromLocal8Bit(*member));
    return entry;
}

} // namespace

QString UserNameOf(uid_t uid) {
    std::vector<char> buffer(kInitialEntryBuffer);
    passwd pwd{};
    passwd* result = nullptr;
    if (::getpwuid_r(uid, &pwd, buffer.data(), buffer.size(), &result) == 0 && result != nullptr)
        return QString::fromLocal8Bit(pwd.pw_name);
    return QString::number(uid);
}

UserIdentity UserIdentity::Current() {
    UserIdentity user;
    user.uid = ::getuid();
    user.name = UserNameOf(user.uid);
    user.groups.append(::getegid());
    const int count = ::getgroups(0, nullptr);
    if (count > 0) {
        std::vector<gid_t> supplementary(static_cast<size_t>(count));
        const int got = ::getgroups(count, supplementary.data());
        for (int i = 0; i < got; ++i) {
            if (!user.groups.contains(supplementary[static_cast<size_t>(i)]))
                user.groups.append(supplementary[static_cast<size_t>(i)]);
        }
    }
    return user;
}

GroupEntry LookupGroup(gid_t gid, const QString& rootPrefix) {
    if (!rootPrefix.isEmpty()) {
        const QString file = Rooted(rootPrefix, QStringLiteral("/etc/group"));
        if (QFile::exists(file))
            return FromGroupFile(gid, file);
    }
    return FromDatabase(gid);
}

} // namespace quellix
