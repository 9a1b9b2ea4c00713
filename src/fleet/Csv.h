// Comma-separated values as spreadsheets and scripts write them (RFC 4180): UTF-8, a byte order mark
// tolerated, records ending in CR LF or LF, fields in double quotes where they hold a comma, a line
// break or a quote (doubled). Every field keeps the line it begins on, so that a message can point at
// it in an editor.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

namespace quellix {

struct CsvCell {
    QString text;
    int line = 0; // 1 is the file's first line
};

struct CsvRecord {
    std::vector<CsvCell> cells; // never empty; cells[i] is column i + 1
    int line = 0;
};

struct CsvFault {
    int line = 0;
    int column = 0; // 1 is a record's first field
    QString reason;
};

// The records of `bytes`, empty lines left out; nothing with `fault` set at the first field that is not
// well formed (an unclosed quote, characters after a closing quote, a quote inside an unquoted field,
// bytes that are not UTF-8).
std::optional<std::vector<CsvRecord>> ParseCsv(const QByteArray& bytes, CsvFault& fault);

} // namespace quellix
