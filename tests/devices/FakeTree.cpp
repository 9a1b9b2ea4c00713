#include "FakeTree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <stdexcept>
#include <unistd.h>

namespace quellix {

void FakeTree::makeDir(const QString& path) const {
    if (!QDir().mkpath(rooted(path)))
        throw std::runtime_error("cannot make fake directory");
}

QString FakeTree::writeFile(const QString& path, const QByteArray& content) const {
    makeDir(QFileInfo(path).path());
    QFile file(rooted(path));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) != content.size())
        throw std::runtime_error("cannot write fake file");
    return rooted(path);
}

void FakeTree::makeLink(const QString& path, const QString& target) const {
    makeDir(QFileInfo(path).path());
    if (::symlink(QFile::encodeName(target).constData(), QFile::encodeName(rooted(path)).constData()) != 0)
        throw std::runtime_error("cannot make fake link");
}

void FakeTree::remove(const QString& path) const {
    const QFileInfo info(rooted(path));
    if (info.isDir() && !info.isSymLink())
        QDir(rooted(path)).removeRecursively();
    else
        ::unlink(QFile::encodeName(rooted(path)).constData());
}

} // namespace quellix
