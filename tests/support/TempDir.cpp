#include "TempDir.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <stdexcept>

namespace quellix {

TempDir::TempDir() {
    QTemporaryDir dir(QDir::tempPath() + "/quellix-test-XXXXXX");
    if (!dir.isValid())
        throw std::runtime_error("cannot create a temporary directory");
    dir.setAutoRemove(false);
    path_ = dir.path();
}

TempDir::~TempDir() {
    QDir(path_).removeRecursively();
}

QString TempDir::write(const QString& name, const QByteArray& bytes) const {
    const QString p = file(name);
    QFile f(p);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write test file");
    return p;
}

QByteArray TempDir::read(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

} // namespace quellix
