// The inventory of a fleet of units: a CSV file with a header line and one row per unit that names the
// unit, the port it is on and the configuration it must hold, a template file with the row's own
// texts. Columns, in any order and case: "name", "port", "config" (required), and the overrides
// "header1", "header2", "tag1".."tag4", "units1".."units4", whose empty cells keep the template's text.
// The whole file is checked before anything is done with a unit, and every error names its line and
// column.
#pragma once

#include "ConfigBlock.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

namespace quellix {

struct InventoryUnit {
    int line = 0;          // the line its row begins on
    QString name;          // unique whatever the case; the file name of its backup, NAME.json
    QString port;          // as written: COM1..COM4 or a device path
    QString device;        // what the port opens
    QString config;        // the template as written, relative to the inventory's directory
    ConfigBlock desired{}; // the template with the row's overrides
    QStringList overrides; // the fields the row overrides, as the text form names them: "channel2.tag"
};

struct InventoryError {
    int line = 0;       // 1 is the header line; 0 is the file as a whole
    int column = 0;     // 1 is the first column; 0 is the line as a whole
    QString columnName; // the column's name in the header, where it has one
    QString reason;
    // "line 4, column 2 (port): reason"; the caller puts the file's name in front.
    QString text() const;
};

// The device a port opens, or nothing with `error` saying why it is no port. The command line hands in
// its own resolution of --port (COMn through the "Ports" section), so that a port means the same in an
// inventory; a relative path is taken from the current directory there as well.
using PortResolver = std::function<std::optional<QString>(const QString& port, QString& error)>;

struct Inventory {
    QString path;
    std::vector<InventoryUnit> units; // in the order of the file
};

// Reads and checks the inventory at `path`; nothing, with every error found in `errors` in the order of
// the file, when anything in it is wrong. Each template is read once however many rows name it.
std::optional<Inventory> ReadInventory(const QString& path, const PortResolver& resolvePort,
                                       std::vector<InventoryError>& errors);

// The same for an inventory's bytes; relative template paths start at `directory`.
std::optional<Inventory> CheckInventory(const QByteArray& csv, const QString& directory,
                                        const PortResolver& resolvePort, std::vector<InventoryError>& errors);

// The units that `only` names, comma-separated as --only takes them, in the order of the inventory;
// nothing with `error` naming every name that is no unit's.
std::optional<std::vector<InventoryUnit>> SelectUnits(const std::vector<InventoryUnit>& units,
                                                      const QString& only, QString& error);

} // namespace quellix
