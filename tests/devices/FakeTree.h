// A scratch directory standing in for the machine's root: /sys, /dev, /proc and /etc entries are made
// under it by their usual absolute names and handed to the code as its root prefix.
#pragma once
#include "TempDir.h"

#include <QString>

namespace quellix {

class FakeTree {
public:
    QString root() const { return dir_.path(); }
    QString rooted(const QString& path) const { return dir_.path() + path; }

    void makeDir(const QString& path) const;
    // Writes a file, making its directories; returns its rooted path.
    QString writeFile(const QString& path, const QByteArray& content = {}) const;
    // A symbolic link at path with the target text as given (relative or absolute).
    void makeLink(const QString& path, const QString& target) const;
    void remove(const QString& path) const;

private:
    TempDir dir_;
};

} // namespace quellix
