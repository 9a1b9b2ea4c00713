#include "Csv.h"

#include <QStringDecoder>

namespace quellix {

namespace {

class Parser {
public:
    Parser(const QByteArray& bytes, CsvFault& fault) : bytes_(bytes), fault_(fault) {}

    std::optional<std::vector<CsvRecord>> run() {
        if (bytes_.startsWith("\xFF\xFE") || bytes_.startsWith("\xFE\xFF")) {
            refuse(1, 1, QStringLiteral("UTF-16 text; save it as UTF-8 (\"CSV UTF-8\")"));
            return std::nullopt;
        }
        if (bytes_.startsWith("\xEF\xBB\xBF"))
            pos_ = 3;
        std::vector<CsvRecord> records;
        while (pos_ < bytes_.size()) {
            CsvRecord record;
            record.line = line_;
            if (!readRecord(record))
                return std::nullopt;
            if (record.cells.size() > 1 || !record.cells.front().text.isEmpty())
                records.push_back(std::move(record));
        }
        return records;
    }

private:
    bool refuse(int line, int column, const QString& reason) {
        fault_ = CsvFault{line, column, reason};
        return false;
    }

    // Past one line end (CR LF, LF or a lone CR) at pos_, if there is one there.
    bool lineEnd() {
        if (pos_ < bytes_.size() && bytes_[pos_] == '\r') {
            ++pos_;
            if (pos_ < bytes_.size() && bytes_[pos_] == '\n')
                ++pos_;
        } else if (pos_ < bytes_.size() && bytes_[pos_] == '\n') {
            ++pos_;
        } else {
            return false;
        }
        ++line_;
        return true;
    }

    bool readRecord(CsvRecord& record) {
        for (;;) {
            const int column = int(record.cells.size()) + 1;
            CsvCell cell;
            cell.line = line_;
            QByteArray raw;
            if (pos_ < bytes_.size() && bytes_[pos_] == '"') {
                if (!readQuoted(raw, column))
                    return false;
            } else if (!readPlain(raw, column)) {
                return false;
            }
            QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
            cell.text = decoder.decode(raw);
            if (decoder.hasError())
                return refuse(cell.line, column, QStringLiteral("is not UTF-8 text"));
            record.cells.push_back(std::move(cell));
            if (pos_ >= bytes_.size() || lineEnd())
                return true;
            ++pos_; // the comma
        }
    }

    bool readPlain(QByteArray& raw, int column) {
        const qsizetype start = pos_;
        while (pos_ < bytes_.size()) {
            const char c = bytes_[pos_];
            if (c == ',' || c == '\r' || c == '\n')
                break;
            if (c == '"')
                return refuse(line_, column,
                              QStringLiteral("a quote inside a field that does not begin with one: write "
                                             "the field in quotes and its quotes doubled"));
            ++pos_;
        }
        raw = bytes_.mid(start, pos_ - start);
        return true;
    }

    bool readQuoted(QByteArray& raw, int column) {
        const int opened = line_;
        ++pos_;
        for (;;) {
            const qsizetype quote = bytes_.indexOf('"', pos_);
            if (quote < 0)
                return refuse(opened, column,
                              QStringLiteral("the quote that begins this field is never closed"));
            const QByteArray part = bytes_.mid(pos_, quote - pos_);
            line_ += int(part.count('\n')) + int(part.count('\r')) - int(part.count("\r\n"));
            raw += part;
            pos_ = quote + 1;
            if (pos_ < bytes_.size() && bytes_[pos_] == '"') {
                raw += '"';
                ++pos_;
                continue;
            }
            if (pos_ < bytes_.size() &&
                std::string_view(",\r\n").find(bytes_[pos_]) == std::string_view::npos)
                return refuse(line_, column,
                              QStringLiteral("characters after the quote that closes the field"));
            return true;
        }
    }

    const QByteArray& bytes_;
    CsvFault& fault_;
    qsizetype pos_ = 0;
    int line_ = 1;
};

} // namespace

std::optional<std::vector<CsvRecord>> ParseCsv(const QByteArray& bytes, CsvFault& fault) {
    return Parser(bytes, fault).run();
}

} // namespace quellix
