// A scratch directory removed with everything in it when the object goes away.
#pragma once
#include <QByteArray>
#include <QString>

namespace quellix {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    QString path() const { return path_; }
    QString file(const QString& name) const { return path_ + "/" + name; }
    // Writes bytes to a file in the directory and returns its path.
    QString write(const QString& name, const QByteArray& bytes) const;
    static QByteArray read(const QString& path);

private:
    QString path_;
};

} // namespace quellix
