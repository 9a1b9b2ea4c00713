// Who the user is and which groups they belong to, for telling why a device may not be opened.
#pragma once
#include <QList>
#include <QString>
#include <QStringList>

#include <sys/types.h>

namespace quellix {

// The identity the process runs with. Tests build one by hand, since they run as root.
struct UserIdentity {
    QString name;
    uid_t uid = 0;
    QList<gid_t> groups; // effective group and supplementary groups of this session

    static UserIdentity Current();
    bool inGroup(gid_t gid) const { return groups.contains(gid); }
};

// The login name of a user id; the number when the user database has none.
QString UserNameOf(uid_t uid);

// A group of the group database.
struct GroupEntry {
    bool found = false;
    QString name;
    QStringList members; // users listed for it (not those having it as primary group)
};

// Looks a group up: in rootPrefix/etc/group when a prefix is given and that file exists, else through
// the system's group database (which also covers network directories).
GroupEntry LookupGroup(gid_t gid, const QString& rootPrefix = {});

} // namespace quellix
