// Arbitrary bytes as an inventory: the check either refuses them with errors in the order of the file,
// each naming a line of it, or gives units whose names and ports are unique and whose rows come in
// order. Rows name the template "plant.json" in a scratch directory, so that some get through.
#include "ConfigJson.h"
#include "Inventory.h"

#include <QDir>
#include <QSet>
#include <QTemporaryDir>
#include <cstdlib>

using namespace quellix;

namespace {

const QString& Directory() {
    static QTemporaryDir dir;
    static const bool written = [] {
        QFile file(dir.filePath("plant.json"));
        return file.open(QIODevice::WriteOnly) && file.write(ConfigToJson(DefaultBlock())) > 0;
    }();
    if (!written)
        std::abort();
    static const QString path = dir.path();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray csv(reinterpret_cast<const char*>(data), qsizetype(size));
    const PortResolver resolve = [](const QString& port, QString& error) -> std::optional<QString> {
        if (port.contains(u'/'))
            return port;
        error = QStringLiteral("no port");
        return std::nullopt;
    };
    std::vector<InventoryError> errors;
    const std::optional<Inventory> inventory = CheckInventory(csv, Directory(), resolve, errors);
    const int lines = int(csv.count('\n') + csv.count('\r')) + 1;
    if (!inventory) {
        if (errors.empty())
            std::abort();
        for (std::size_t i = 0; i < errors.size(); ++i) {
            const InventoryError& e = errors[i];
            if (e.reason.isEmpty() || e.line < 1 || e.line > lines || e.column < 0)
                std::abort();
            if (i > 0 && (e.line < errors[i - 1].line ||
                          (e.line == errors[i - 1].line && e.column < errors[i - 1].column)))
                std::abort();
        }
        return 0;
    }
    if (!errors.empty() || inventory->units.empty())
        std::abort();
    QSet<QString> names;
    QSet<QString> devices;
    int line = 1;
    for (const InventoryUnit& unit : inventory->units) {
        if (unit.line <= line || unit.name.isEmpty() || unit.name.contains(u'/'))
            std::abort();
        line = unit.line;
        names.insert(unit.name.toCaseFolded());
        devices.insert(QDir::cleanPath(QDir::current().absoluteFilePath(unit.device)));
    }
    if (names.size() != qsizetype(inventory->units.size()) || devices.size() != names.size())
        std::abort();
    return 0;
}
