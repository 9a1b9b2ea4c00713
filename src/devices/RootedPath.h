// Paths of the machine's /sys, /dev and /proc seen below a root prefix, so that tests can hand in a
// fake tree. An empty prefix is the real root. "Unrooted" paths are absolute paths as the machine
// names them (/dev/ttyUSB0); "rooted" ones are where they are found (prefix + unrooted).
#pragma once
#include <QString>
#include <QStringList>

namespace quellix {

// Where the kernel lists the machine's ttys.
inline QString TtyClassDir() {
    return QStringLiteral("/sys/class/tty");
}

// The directory an absolute path is in; "/" for a name at the top.
QString ParentDir(const QString& path);

// The rooted form of an unrooted absolute path.
QString Rooted(const QString& rootPrefix, const QString& path);

// Resolves every symbolic link of an unrooted path inside the root, the way the kernel would if the
// prefix were "/": absolute link targets stay below the prefix. Gives the unrooted result, or an empty
// string when a component is missing or the links loop.
QString ResolveInRoot(const QString& rootPrefix, const QString& path);

// The text of a symbolic link as stored (not resolved); empty when the path is no link.
QString RawLinkTarget(const QString& rootedPath);

// The content of a small attribute file (sysfs, /proc), without the trailing newline and blanks;
// empty when it cannot be read.
QString ReadAttribute(const QString& rootedPath);

// Names of the entries of a directory, "." and ".." left out, sorted; empty when it cannot be read.
QStringList DirectoryEntries(const QString& rootedPath);

} // namespace quellix
