#include "Inventory.h"

#include "ConfigFiles.h"
#include "ConfigJson.h"
#include "Csv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <algorithm>
#include <array>
#include <tuple>
#include <variant>

#include <sys/stat.h>

namespace quellix {

namespace {

// An inventory of thousands of units is a few hundred kilobytes; anything far larger is not one.
constexpr qint64 MaxInventorySize = 16 << 20;
// The longest file name Linux file systems take; a unit's backup is NAME.json.
constexpr qsizetype MaxFileNameBytes = 255;

enum Column { Name, Port, Config, FirstOverride, ColumnCount = FirstOverride + 10 };

struct ColumnInfo {
    const char* header;
    const char* field; // the text form's key path of an override
    std::size_t capacity;
};

constexpr std::array<ColumnInfo, ColumnCount> Columns = {{
    {"name", nullptr, 0},
    {"port", nullptr, 0},
    {"config", nullptr, 0},
    {"header1", "header1", 20},
    {"header2", "header2", 20},
    {"tag1", "channel1.tag", 20},
    {"tag2", "channel2.tag", 20},
    {"tag3", "channel3.tag", 20},
    {"tag4", "channel4.tag", 20},
    {"units1", "channel1.units", 10},
    {"units2", "channel2.units", 10},
    {"units3", "channel3.units", 10},
    {"units4", "channel4.units", 10},
}};

void AssignOverride(ConfigBlock& block, int column, std::string_view bytes) {
    const int k = column - FirstOverride;
    if (k == 0)
        block.Header1.assign(bytes);
    else if (k == 1)
        block.Header2.assign(bytes);
    else if (k < 2 + ChannelCount)
        block.TagName[k - 2].assign(bytes);
    else
        block.UnitName[k - 2 - ChannelCount].assign(bytes);
}

bool IsControl(QChar c) {
    const char16_t u = c.unicode();
    return u < 0x20 || (u >= 0x7F && u < 0xA0);
}

// Why a unit's name cannot be the name of its backup file, or nothing.
std::optional<QString> NameProblem(const QString& name) {
    if (name.isEmpty())
        return QStringLiteral("no name");
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return QuotedText(name) + QStringLiteral(" cannot be a file name, which a unit's name becomes");
    if (name.contains(u'/'))
        return QuotedExcerpt(name) + QStringLiteral(" holds \"/\": a unit's name becomes a file name");
    if (std::any_of(name.begin(), name.end(), IsControl))
        return QuotedExcerpt(name) + QStringLiteral(" holds a control character");
    if (name.toUtf8().size() + qsizetype(sizeof(".json") - 1) > MaxFileNameBytes)
        return QuotedExcerpt(name) + QStringLiteral(" is too long for a file name (NAME.json of at most "
                                                    "%1 bytes)")
                                         .arg(MaxFileNameBytes);
    return std::nullopt;
}

// The device itself where it can be told: one stat follows every link (by-id names, a simulator's
// --link), and a device node is known by its device number whichever node names it. A path with
// nothing there is compared by its path.
QString DeviceIdentity(const QString& device) {
    struct stat st;
    if (::stat(QFile::encodeName(device).constData(), &st) == 0)
        return S_ISCHR(st.st_mode) ? QStringLiteral("c%1").arg(st.st_rdev)
                                   : QStringLiteral("i%1:%2").arg(st.st_dev).arg(st.st_ino);
    return QDir::cleanPath(QFileInfo(device).absoluteFilePath());
}

// What a device path leads to, for a message.
QString DeviceTarget(const QString& device) {
    const QString canonical = QFileInfo(device).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(QFileInfo(device).absoluteFilePath()) : canonical;
}

class Checker {
public:
    Checker(const QString& directory, const PortResolver& resolvePort, std::vector<InventoryError>& errors)
        : directory_(directory), resolvePort_(resolvePort), errors_(errors) {}

    std::optional<Inventory> run(const QByteArray& csv) {
        CsvFault fault;
        const std::optional<std::vector<CsvRecord>> records = ParseCsv(csv, fault);
        if (!records) {
            errors_.push_back({fault.line, fault.column, {}, fault.reason});
            return std::nullopt;
        }
        if (records->empty()) {
            error(1, 0,
                  QStringLiteral("no header line: the first line names the columns, such as "
                                 "\"name,port,config\""));
            return std::nullopt;
        }
        const std::size_t before = errors_.size();
        Inventory inventory;
        if (readHeader(records->front())) {
            for (std::size_t i = 1; i < records->size(); ++i)
                checkRow((*records)[i], inventory.units);
            if (inventory.units.empty() && errors_.size() == before)
                error(records->front().line, 0,
                      QStringLiteral("no unit: no row below the header line names one"));
        }
        // Errors come in the order of the checks; they are shown in the order of the file.
        std::stable_sort(errors_.begin() + qsizetype(before), errors_.end(),
                         [](const auto& a, const auto& b) {
                             return std::tie(a.line, a.column) < std::tie(b.line, b.column);
                         });
        if (errors_.size() != before)
            return std::nullopt;
        return inventory;
    }

private:
    void error(int line, int column, const QString& reason) {
        const QString name = column > 0 && column <= header_.size() ? header_[column - 1] : QString();
        errors_.push_back({line, column, name, reason});
    }

    bool readHeader(const CsvRecord& header) {
        columnOf_.fill(0);
        for (const CsvCell& cell : header.cells)
            header_.push_back(cell.text.trimmed());
        const QString known =
            QStringLiteral("name, port, config, header1, header2, tag1..tag4, units1..units4");
        for (int c = 1; c <= header_.size(); ++c) {
            const QString& text = header_[c - 1];
            const auto it = std::find_if(Columns.begin(), Columns.end(), [&text](const ColumnInfo& info) {
                return text.compare(QLatin1String(info.header), Qt::CaseInsensitive) == 0;
            });
            if (it == Columns.end()) {
                error(header.line, c,
                      QStringLiteral("unknown column %1; the columns are %2%3")
                          .arg(QuotedExcerpt(text), known,
                               text.contains(u';') ? QStringLiteral(", separated by commas") : QString()));
                continue;
            }
            int& at = columnOf_[std::size_t(it - Columns.begin())];
            if (at > 0)
                error(header.line, c,
                      QStringLiteral("the column %1 again (also column %2)").arg(text).arg(at));
            else
                at = c;
        }
        bool complete = true;
        for (int k : {Name, Port, Config}) {
            if (columnOf_[std::size_t(k)] == 0) {
                error(header.line, 0,
                      QStringLiteral("no column \"%1\"").arg(QLatin1String(Columns[k].header)));
                complete = false;
            }
        }
        return complete;
    }

    const CsvCell& cell(const CsvRecord& row, int column) const {
        return row.cells[std::size_t(columnOf_[std::size_t(column)] - 1)];
    }

    void checkRow(const CsvRecord& row, std::vector<InventoryUnit>& units) {
        // A spreadsheet's empty row: commas only.
        if (std::all_of(row.cells.begin(), row.cells.end(),
                        [](const CsvCell& c) { return c.text.trimmed().isEmpty(); }))
            return;
        const qsizetype count = qsizetype(row.cells.size());
        if (count != header_.size()) {
            error(row.line, int(std::min(count, header_.size())) + 1,
                  QStringLiteral("%1 fields; the header line has %2").arg(count).arg(header_.size()));
            return;
        }
        const std::size_t before = errors_.size();
        InventoryUnit unit;
        unit.line = row.line;
        unit.name = checkName(row);
        unit.port = cell(row, Port).text.trimmed();
        unit.device = checkPort(row, unit.port, unit.name);
        unit.config = cell(row, Config).text.trimmed();
        if (const ConfigBlock* block = readTemplate(row, unit.config))
            unit.desired = *block;
        applyOverrides(row, unit);
        if (errors_.size() == before)
            units.push_back(std::move(unit));
    }

    QString checkName(const CsvRecord& row) {
        const CsvCell& c = cell(row, Name);
        const int column = columnOf_[Name];
        const QString name = c.text.trimmed();
        if (const std::optional<QString> problem = NameProblem(name)) {
            error(c.line, column, *problem);
            return name;
        }
        // Backups of names that differ only in case would overwrite each other on a disk that ignores
        // case, such as a USB stick.
        const QString key = name.toCaseFolded();
        if (const auto it = names_.constFind(key); it != names_.cend())
            error(c.line, column,
                  QStringLiteral("%1 is also the name of line %2%3")
                      .arg(QuotedText(name))
                      .arg(it->first)
                      .arg(it->second == name ? QString()
                                              : QStringLiteral(" (%1: names must differ in more than "
                                                               "case)")
                                                    .arg(QuotedText(it->second))));
        else
            names_.insert(key, {row.line, name});
        return name;
    }

    QString checkPort(const CsvRecord& row, const QString& port, const QString& name) {
        const CsvCell& c = cell(row, Port);
        const int column = columnOf_[Port];
        if (port.isEmpty()) {
            error(c.line, column, QStringLiteral("no port"));
            return {};
        }
        QString why;
        const std::optional<QString> device = resolvePort_(port, why);
        if (!device) {
            error(c.line, column, why);
            return {};
        }
        const QString identity = DeviceIdentity(*device);
        if (const auto it = ports_.constFind(identity); it != ports_.cend()) {
            // Told apart by what they lead to: say so where the two rows name it differently.
            const QString same = it->port == port
                                     ? QString()
                                     : QStringLiteral(", there named %1: both lead to %2")
                                           .arg(QuotedText(it->port), QuotedText(DeviceTarget(*device)));
            error(c.line, column,
                  QStringLiteral("%1 is also the port of line %2 (%3)%4; one port serves one unit")
                      .arg(QuotedText(port))
                      .arg(it->line)
                      .arg(QuotedExcerpt(it->name), same));
        } else {
            ports_.insert(identity, {row.line, port, name});
        }
        return *device;
    }

    const ConfigBlock* readTemplate(const CsvRecord& row, const QString& config) {
        const CsvCell& c = cell(row, Config);
        const int column = columnOf_[Config];
        if (config.isEmpty()) {
            error(c.line, column, QStringLiteral("no configuration file"));
            return nullptr;
        }
        const QString path = QDir::cleanPath(QDir(directory_).absoluteFilePath(config));
        auto it = templates_.find(path);
        if (it == templates_.end()) {
            QString message;
            std::optional<ConfigBlock> block = ReadConfigFile(path, message);
            it = templates_.insert(path, block ? Template(*block) : Template(message));
        }
        if (const auto* message = std::get_if<QString>(&*it)) {
            error(c.line, column, *message);
            return nullptr;
        }
        return &std::get<ConfigBlock>(*it);
    }

    void applyOverrides(const CsvRecord& row, InventoryUnit& unit) {
        for (int k = FirstOverride; k < ColumnCount; ++k) {
            if (columnOf_[std::size_t(k)] == 0)
                continue;
            const CsvCell& c = cell(row, k);
            if (c.text.isEmpty())
                continue;
            QString reason;
            const std::optional<std::string> bytes =
                FieldTextBytes(c.text, Columns[std::size_t(k)].capacity, &reason);
            if (!bytes) {
                error(c.line, columnOf_[std::size_t(k)], reason);
                continue;
            }
            AssignOverride(unit.desired, k, *bytes);
            unit.overrides.push_back(QLatin1String(Columns[std::size_t(k)].field));
        }
    }

    struct PortUse {
        int line;
        QString port;
        QString name;
    };
    using Template = std::variant<ConfigBlock, QString>;

    QString directory_;
    const PortResolver& resolvePort_;
    std::vector<InventoryError>& errors_;
    QStringList header_;
    std::array<int, ColumnCount> columnOf_{}; // each known column's place in the header, 1-based; 0 absent
    QHash<QString, std::pair<int, QString>> names_; // case-folded name: line, name as written
    QHash<QString, PortUse> ports_;                 // device identity: its first row
    QHash<QString, Template> templates_;            // absolute path: the file's block or why not
};

} // namespace

QString InventoryError::text() const {
    QString where;
    if (line > 0)
        where = QStringLiteral("line %1").arg(line);
    if (column > 0)
        where += QStringLiteral(", column %1").arg(column) +
                 (columnName.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(columnName));
    return where.isEmpty() ? reason : where + QStringLiteral(": ") + reason;
}

std::optional<Inventory> CheckInventory(const QByteArray& csv, const QString& directory,
                                        const PortResolver& resolvePort,
                                        std::vector<InventoryError>& errors) {
    return Checker(directory, resolvePort, errors).run(csv);
}

std::optional<Inventory> ReadInventory(const QString& path, const PortResolver& resolvePort,
                                       std::vector<InventoryError>& errors) {
    const QFileInfo info(path);
    QFile file(path);
    QString problem;
    if (!info.exists())
        problem = QStringLiteral("no such file");
    else if (!info.isFile())
        problem = QStringLiteral("cannot be read: not a regular file");
    else if (!file.open(QIODevice::ReadOnly))
        problem = QStringLiteral("cannot be read: ") + file.errorString();
    QByteArray csv;
    if (problem.isEmpty()) {
        csv = file.read(MaxInventorySize + 1);
        if (file.error() != QFileDevice::NoError)
            problem = QStringLiteral("cannot be read: ") + file.errorString();
        else if (csv.size() > MaxInventorySize)
            problem =
                QStringLiteral("too large for an inventory (more than %1 MiB)").arg(MaxInventorySize >> 20);
    }
    if (!problem.isEmpty()) {
        errors.push_back({0, 0, {}, problem});
        return std::nullopt;
    }
    std::optional<Inventory> inventory = CheckInventory(csv, info.absolutePath(), resolvePort, errors);
    if (inventory)
        inventory->path = path;
    return inventory;
}

std::optional<std::vector<InventoryUnit>> SelectUnits(const std::vector<InventoryUnit>& units,
                                                      const QString& only, QString& error) {
    // Names are unique whatever their case, so a name in any case is one unit's.
    QStringList wanted;
    QStringList unknown;
    for (const QString& part : only.split(u',')) {
        const QString name = part.trimmed();
        if (name.isEmpty())
            continue;
        wanted.push_back(name.toCaseFolded());
        if (std::none_of(units.begin(), units.end(),
                         [&](const InventoryUnit& u) { return u.name.toCaseFolded() == wanted.back(); }))
            unknown.push_back(QuotedExcerpt(name));
    }
    if (wanted.isEmpty())
        error = QStringLiteral("--only names no unit");
    else if (!unknown.isEmpty())
        error =
            QStringLiteral("no unit of the inventory is named %1").arg(unknown.join(QStringLiteral(", ")));
    if (wanted.isEmpty() || !unknown.isEmpty())
        return std::nullopt;
    std::vector<InventoryUnit> selected;
    std::copy_if(units.begin(), units.end(), std::back_inserter(selected),
                 [&wanted](const InventoryUnit& u) { return wanted.contains(u.name.toCaseFolded()); });
    return selected;
}

} // namespace quellix
