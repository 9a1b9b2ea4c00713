#include "MemIniFile.h"

#include "AtomicSave.h"
#include "SettingsLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace quellix {

namespace {

bool IsComment(QStringView trimmed) {
    return trimmed.startsWith(u';') || trimmed.startsWith(u'#');
}

std::optional<QStringView> SectionName(QStringView line) {
    const QStringView trimmed = line.trimmed();
    if (!trimmed.startsWith(u'['))
        return std::nullopt;
    const qsizetype close = trimmed.indexOf(u']');
    if (close < 0)
        return std::nullopt;
    return trimmed.sliced(1, close - 1).trimmed();
}

// Splits "key=value" into its trimmed parts; nothing for comments and lines without "=".
std::optional<std::pair<QStringView, QStringView>> Entry(QStringView line) {
    const QStringView trimmed = line.trimmed();
    if (trimmed.isEmpty() || IsComment(trimmed))
        return std::nullopt;
    const qsizetype eq = trimmed.indexOf(u'=');
    if (eq <= 0)
        return std::nullopt;
    return std::pair{trimmed.first(eq).trimmed(), trimmed.sliced(eq + 1).trimmed()};
}

QString Unquoted(QStringView value) {
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
        value.back() == value.front())
        return value.sliced(1, value.size() - 2).toString();
    return value.toString();
}

bool SameName(QStringView a, QStringView b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

TMemIniFile::TMemIniFile(QString fileName) : fileName_(std::move(fileName)) {
    QFile file(fileName_);
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = file.readAll();
        if (file.error() == QFileDevice::NoError)
            SetBytes(bytes);
        else
            readError_ = file.errorString();
    } else if (QFileInfo info(fileName_); info.exists() && !info.isDir()) {
        readError_ = file.errorString();
    }
    if (Unreadable())
        qCWarning(lcSettings) << "cannot read" << fileName_ << readError_;
}

TMemIniFile TMemIniFile::FromBytes(const QByteArray& bytes) {
    TMemIniFile ini;
    ini.SetBytes(bytes);
    return ini;
}

void TMemIniFile::SetBytes(const QByteArray& bytes) {
    lines_.clear();
    for (qsizetype at = 0; at < bytes.size();) {
        const qsizetype newline = bytes.indexOf('\n', at);
        Line line;
        if (newline < 0) {
            line.bytes = bytes.mid(at);
            at = bytes.size();
        } else {
            line.bytes = bytes.mid(at, newline - at);
            line.end = "\n";
            at = newline + 1;
            if (line.bytes.endsWith('\r')) {
                line.bytes.chop(1);
                line.end = "\r\n";
            }
        }
        line.text = QString::fromUtf8(line.bytes);
        lines_.append(line);
    }
    if (lines_.isEmpty())
        return;
    // A file written on Windows keeps its line ends, also in the lines added to it.
    if (!lines_.front().end.isEmpty())
        lineEnd_ = lines_.front().end;
    // A byte order mark stays in the file but is no part of the first line's name.
    if (lines_.front().text.startsWith(QChar(0xFEFF)))
        lines_.front().text.remove(0, 1);
}

QByteArray TMemIniFile::Bytes() const {
    QByteArray bytes;
    for (const Line& line : lines_)
        bytes += line.bytes + line.end;
    return bytes;
}

void TMemIniFile::Insert(qsizetype at, const QString& text) {
    // The line before ends where the file had ended without a line end.
    if (at > 0 && lines_[at - 1].end.isEmpty())
        lines_[at - 1].end = lineEnd_;
    lines_.insert(at, Line{text.toUtf8(), lineEnd_, text});
}

std::optional<TMemIniFile::Range> TMemIniFile::FindSection(QStringView section) const {
    for (qsizetype i = 0; i < lines_.size(); ++i) {
        const auto name = SectionName(lines_[i].text);
        if (!name || !SameName(*name, section))
            continue;
        qsizetype end = i + 1;
        while (end < lines_.size() && !SectionName(lines_[end].text))
            ++end;
        return Range{i, end};
    }
    return std::nullopt;
}

std::optional<qsizetype> TMemIniFile::FindKey(const Range& range, QStringView key) const {
    for (qsizetype i = range.header + 1; i < range.end; ++i) {
        const auto entry = Entry(lines_[i].text);
        if (entry && SameName(entry->first, key))
            return i;
    }
    return std::nullopt;
}

std::optional<QString> TMemIniFile::ReadString(QStringView section, QStringView key) const {
    const auto range = FindSection(section);
    if (!range)
        return std::nullopt;
    const auto line = FindKey(*range, key);
    if (!line)
        return std::nullopt;
    return Unquoted(Entry(lines_[*line].text)->second);
}

int TMemIniFile::ReadInteger(QStringView section, QStringView key, int fallback) const {
    bool ok = false;
    const int value = ReadString(section, key).value_or(QString()).toInt(&ok);
    return ok ? value : fallback;
}

QList<QPair<QString, QString>> TMemIniFile::ReadSection(QStringView section) const {
    QList<QPair<QString, QString>> entries;
    const auto range = FindSection(section);
    if (!range)
        return entries;
    for (qsizetype i = range->header + 1; i < range->end; ++i) {
        if (const auto entry = Entry(lines_[i].text))
            entries.append({entry->first.toString(), Unquoted(entry->second)});
    }
    return entries;
}

void TMemIniFile::WriteString(const QString& section, const QString& key, const QString& value) {
    const QString line = key + u'=' + value;
    const auto range = FindSection(section);
    if (!range) {
        if (!lines_.isEmpty() && !lines_.back().text.trimmed().isEmpty())
            Insert(lines_.size(), QString());
        Insert(lines_.size(), u'[' + section + u']');
        Insert(lines_.size(), line);
        return;
    }
    if (const auto existing = FindKey(*range, key)) {
        lines_[*existing].bytes = line.toUtf8();
        lines_[*existing].text = line;
        return;
    }
    // After the last line of the section that is not blank, so a blank line before the next section stays.
    qsizetype at = range->end;
    while (at > range->header + 1 && lines_[at - 1].text.trimmed().isEmpty())
        --at;
    Insert(at, line);
}

bool TMemIniFile::UpdateFile(QString* error) const {
    QString why;
    if (Unreadable())
        why = QStringLiteral("it could not be read (%1), and writing it would lose what it holds")
                  .arg(readError_);
    else if (!QDir().mkpath(QFileInfo(fileName_).absolutePath()))
        why = QStringLiteral("its directory cannot be made");
    else if (SaveFileAtomically(fileName_, Bytes(), {}, &why))
        return true;
    qCWarning(lcSettings) << "cannot write" << fileName_ << why;
    if (error)
        *error = why;
    return false;
}

} // namespace quellix
