// The fleet's inventory check as a fleet command does it before it asks any unit: read the file, parse
// it, resolve each port as --port does and follow its link to the device, read each template once,
// apply each row's overrides. 1,000 rows on ten templates (five text forms, five block images), each
// port a link to a device file as by-id names are; goal at most 50 ms.
//
//   fleet_bench [--runs N]
#include "BenchSupport.h"
#include "CliPort.h"
#include "ConfigJson.h"
#include "Inventory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

using namespace quellix;

namespace {

constexpr int Rows = 1000;
constexpr int Templates = 10;
constexpr double GoalMs = 50;

bool Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The inventory and all it names in `dir`; its path, or empty when something could not be made.
QString MakeInventory(const QDir& dir) {
    dir.mkpath("templates");
    dir.mkpath("dev/serial/by-id");
    for (int t = 0; t < Templates; ++t) {
        ConfigBlock block = DefaultBlock();
        block.Header2.assign("Line " + std::to_string(t));
        const bool json = t % 2 == 0;
        const QByteArray bytes =
            json ? ConfigToJson(block)
                 : QByteArray(reinterpret_cast<const char*>(BlockBytes(block)), qsizetype(ConfigBlockSize));
        if (!Write(dir.filePath(QStringLiteral("templates/line%1.%2").arg(t).arg(json ? "json" : "qlx")),
                   bytes))
            return {};
    }
    QByteArray csv = "name,port,config,header1,tag1,tag2,units1\n";
    for (int r = 0; r < Rows; ++r) {
        const QString device = dir.filePath(QStringLiteral("dev/ttyUSB%1").arg(r));
        const QString link =
            dir.filePath(QStringLiteral("dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A%1-if00-port0")
                             .arg(r, 6, 10, QChar(u'0')));
        if (!Write(device, {}) || !QFile::link(device, link))
            return {};
        const int t = r % Templates;
        csv += QStringLiteral("unit-%1,%2,templates/line%3.%4,Press %1,Flow %1,\"Return, %1\",m3/h\n")
                   .arg(r)
                   .arg(link)
                   .arg(t)
                   .arg(t % 2 == 0 ? "json" : "qlx")
                   .toUtf8();
    }
    const QString path = dir.filePath("inventory.csv");
    return Write(path, csv) ? path : QString();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int runs = 20;
    const QStringList args = app.arguments();
    if (const qsizetype at = args.indexOf("--runs"); at > 0 && at + 1 < args.size())
        runs = args[at + 1].toInt();

    QTemporaryDir scratch;
    const QString inventory = MakeInventory(QDir(scratch.path()));
    const QString ini = QDir(scratch.path()).filePath("quellix.INI");
    if (inventory.isEmpty() || !Write(ini, "[Ports]\n")) {
        std::fprintf(stderr, "fleet_bench: cannot make the inventory in %s\n", qPrintable(scratch.path()));
        return 1;
    }
    const PortResolver resolve = [&ini](const QString& port, QString& error) -> std::optional<QString> {
        const std::optional<PortName> name = ResolvePort(port, ini, error);
        return name ? std::optional(name->device) : std::nullopt;
    };
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        std::vector<InventoryError> errors;
        const auto start = bench::Clock::now();
        const std::optional<Inventory> checked = ReadInventory(inventory, resolve, errors);
        times.push_back(bench::Ms(bench::Clock::now() - start));
        if (!checked || checked->units.size() != std::size_t(Rows)) {
            std::fprintf(stderr, "fleet_bench: the inventory was refused: %s\n",
                         errors.empty() ? "" : qPrintable(errors.front().text()));
            return 1;
        }
    }
    const bench::Summary s = bench::Summarise(times);
    std::printf("inventory check of %d rows: median %.2f ms, max %.2f ms\n", Rows, s.median, s.max);
    bench::PrintRow("fleet inventory check, 1,000 rows (n=" + std::to_string(s.count) + ", median / max)",
                    bench::Format("%.2f", s.median) + " / " + bench::Format("%.2f", s.max) + " ms",
                    bench::Format("goal <= %.0f ms", GoalMs), {s.median / GoalMs, s.max / GoalMs}, 1.0);
    return 0;
}
