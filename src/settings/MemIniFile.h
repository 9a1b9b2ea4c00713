// An INI file held as its lines, so that a save keeps the order of the keys and every line this program
// does not own (other sections, comments, unknown keys) exactly as it was, byte for byte, in whatever
// encoding and with whatever line end it has.
#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <optional>

namespace quellix {

class TMemIniFile {
public:
    // Reads the file now; a missing file (or a directory in its place) reads as empty. A file that is
    // there but cannot be read reads as empty too, and is never written over: see Unreadable().
    explicit TMemIniFile(QString fileName);
    static TMemIniFile FromBytes(const QByteArray& bytes);
    static TMemIniFile FromText(const QString& text) { return FromBytes(text.toUtf8()); }

    // Section and key names match without regard to case; values lose surrounding blanks and one pair
    // of enclosing quotes. Lines read as UTF-8. The first matching section and key count.
    std::optional<QString> ReadString(QStringView section, QStringView key) const;
    // The value as a decimal number, or `fallback` when missing or not a number.
    int ReadInteger(QStringView section, QStringView key, int fallback) const;
    // Every key and value of the section, in file order.
    QList<QPair<QString, QString>> ReadSection(QStringView section) const;

    // Replaces the key's line in place, or adds it after the section's last entry (the section is added
    // at the end of the file when missing), so new keys keep the order they are written in. The line
    // is written as UTF-8; no other line changes.
    void WriteString(const QString& section, const QString& key, const QString& value);

    // Replaces the file atomically with the current text, creating its directory; false on failure
    // (`error` says why), and always for a file that could not be read, whose lines would be lost.
    bool UpdateFile(QString* error = nullptr) const;
    // The file is there but could not be read (no read permission, an I/O error); ReadError() says why.
    bool Unreadable() const { return !readError_.isEmpty(); }
    const QString& ReadError() const { return readError_; }
    QByteArray Bytes() const;
    QString Text() const { return QString::fromUtf8(Bytes()); }
    const QString& FileName() const { return fileName_; }

private:
    struct Range {
        qsizetype header;
        qsizetype end; // one past the section's last line
    };
    struct Line {
        QByteArray bytes; // as in the file, without the line end
        QByteArray end;   // "\n", "\r\n", or nothing on a last line without one
        QString text;     // the bytes read as UTF-8, for finding sections and keys
    };
    TMemIniFile() = default;
    void SetBytes(const QByteArray& bytes);
    void Insert(qsizetype at, const QString& text);
    std::optional<Range> FindSection(QStringView section) const;
    std::optional<qsizetype> FindKey(const Range& range, QStringView key) const;

    QString fileName_;
    QString readError_;
    QList<Line> lines_;
    QByteArray lineEnd_ = "\n"; // of new lines: the file's own
};

} // namespace quellix
