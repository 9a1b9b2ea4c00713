#include "MemIniFile.h"

#include "SettingsLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

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
std::optional<QPair<QStringView, QStringView>> Entry(QStringView line) {
    const QStringView trimmed = line.trimmed();
    if (trimmed.isEmpty() || IsComment(trimmed))
        return std::nullopt;
    const qsizetype eq = trimmed.indexOf(u'=');
    if (eq <= 0)
        return std::nullopt;
    return QPair{trimmed.first(eq).trimmed(), trimmed.sliced(eq + 1).trimmed()};
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
    if (file.open(QIODevice::ReadOnly))
        SetText(QString::fromUtf8(file.readAll()));
    else if (file.exists())
        qCWarning(lcSettings) << "cannot read" << fileName_ << file.errorString();
}

TMemIniFile TMemIniFile::FromText(const QString& text) {
    TMemIniFile ini;
    ini.SetText(text);
    return ini;
}

void TMemIniFile::SetText(const QString& text) {
    lines_ = text.split(u'\n');
    if (!lines_.isEmpty() && lines_.back().isEmpty())
        lines_.removeLast();
    // A file written on Windows keeps its line ends.
    if (!lines_.isEmpty() && lines_.front().endsWith(u'\r'))
        lineEnd_ = QStringLiteral("\r\n");
    for (QString& line : lines_) {
        if (line.endsWith(u'\r'))
            line.chop(1);
    }
}

QString TMemIniFile::Text() const {
    QString text;
    for (const QString& line : lines_)
        text += line + lineEnd_;
    return text;
}

std::optional<TMemIniFile::Range> TMemIniFile::FindSection(QStringView section) const {
    for (qsizetype i = 0; i < lines_.size(); ++i) {
        const auto name = SectionName(lines_[i]);
        if (!name || !SameName(*name, section))
            continue;
        qsizetype end = i + 1;
        while (end < lines_.size() && !SectionName(lines_[end]))
            ++end;
        return Range{i, end};
    }
    return std::nullopt;
}

std::optional<qsizetype> TMemIniFile::FindKey(const Range& range, QStringView key) const {
    for (qsizetype i = range.header + 1; i < range.end; ++i) {
        const auto entry = Entry(lines_[i]);
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
    return Unquoted(Entry(lines_[*line])->second);
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
        if (const auto entry = Entry(lines_[i]))
            entries.append({entry->first.toString(), Unquoted(entry->second)});
    }
    return entries;
}

void TMemIniFile::WriteString(const QString& section, const QString& key, const QString& value) {
    const QString line = key + u'=' + value;
    const auto range = FindSection(section);
    if (!range) {
        if (!lines_.isEmpty() && !lines_.back().trimmed().isEmpty())
            lines_.append(QString());
        lines_.append(u'[' + section + u']');
        lines_.append(line);
        return;
    }
    if (const auto existing = FindKey(*range, key)) {
        lines_[*existing] = line;
        return;
    }
    // After the last line of the section that is not blank, so a blank line before the next section stays.
    qsizetype at = range->end;
    while (at > range->header + 1 && lines_[at - 1].trimmed().isEmpty())
        --at;
    lines_.insert(at, line);
}

bool TMemIniFile::UpdateFile() const {
    const QFileInfo info(fileName_);
    if (!QDir().mkpath(info.absolutePath()))
        return false;
    QSaveFile file(fileName_);
    const QByteArray bytes = Text().toUtf8();
    const bool saved = file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
    if (!saved)
        qCWarning(lcSettings) << "cannot write" << fileName_ << file.errorString();
    return saved;
}

} // namespace quellix
