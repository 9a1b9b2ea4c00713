// An INI file held as its lines, so that a save keeps the order of the keys and every line this program
// does not own (other sections, comments, unknown keys) exactly as it was.
#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <optional>

namespace quellix {

class TMemIniFile {
public:
    // Reads the file now; a missing or unreadable file reads as empty.
    explicit TMemIniFile(QString fileName);
    static TMemIniFile FromText(const QString& text);

    // Section and key names match without regard to case; values lose surrounding blanks and one pair
    // of enclosing quotes. The first matching section and key count.
    std::optional<QString> ReadString(QStringView section, QStringView key) const;
    // The value as a decimal number, or `fallback` when missing or not a number.
    int ReadInteger(QStringView section, QStringView key, int fallback) const;
    // Every key and value of the section, in file order.
    QList<QPair<QString, QString>> ReadSection(QStringView section) const;

    // Replaces the key's line in place, or adds it after the section's last entry (the section is added
    // at the end of the file when missing), so new keys keep the order they are written in.
    void WriteString(const QString& section, const QString& key, const QString& value);

    // Replaces the file atomically with the current text, creating its directory; false on failure.
    bool UpdateFile() const;
    QString Text() const;
    const QString& FileName() const { return fileName_; }

private:
    struct Range {
        qsizetype header;
        qsizetype end; // one past the section's last line
    };
    TMemIniFile() = default;
    void SetText(const QString& text);
    std::optional<Range> FindSection(QStringView section) const;
    std::optional<qsizetype> FindKey(const Range& range, QStringView key) const;

    QString fileName_;
    QStringList lines_;
    QString lineEnd_ = QStringLiteral("\n");
};

} // namespace quellix
