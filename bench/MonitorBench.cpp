// The Link Monitor and the configuration sheet on the window's thread: appending 10,000 entries to an
// open monitor, until the view has taken them (goal: at most 50 ms in all), both to an empty monitor and
// to a full one that gives up its oldest rows; and exporting the sheet as PDF (goal: median at most
// 300 ms). Runs offscreen.
// Usage: monitor_bench [--runs N]
#include "BenchSupport.h"
#include "Charset.h"
#include "ConfigSheet.h"
#include "LinkMonitorWindow.h"
#include "UserDialogs.h"

#include <QApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace quellix {

using bench::Clock;
using bench::Ms;

namespace {

constexpr double AppendGoalMs = 50;
constexpr double ExportGoalMs = 300;
constexpr int Entries = 10000;

std::string Hex(std::initializer_list<int> bytes) {
    std::string s;
    for (const int b : bytes)
        s += static_cast<char>(b);
    return s;
}

// A download's traffic: item requests and their replies, each reply taken as a frame.
double AppendOnce(TLinkMonitorWindow& window) {
    const std::string request = Hex({0x01, 0x70, 0x0A, 0x00, 0x16, 0, 0, 0, 0, 0, 0, 0, 0});
    const std::string reply =
        Hex({0x01, 0x50, 0x0D, 0x00, 0x16, 'B', 'o', 'i', 'l', 'e', 'r', ' ', 'F', 'l', 'o', 'w'});
    LinkMonitorModel& model = window.Model();
    const auto start = Clock::now();
    for (int i = 0; i < Entries / 2; ++i) {
        model.FrameSent(request, i % 3 == 2 ? 1 : 0);
        model.BatchReceived(reply);
        model.FrameDispatched('P', reply);
    }
    // The rows handed to the view (at once, not after the model's short wait), its layout, and a paint
    // of the whole window.
    model.Flush();
    QCoreApplication::processEvents();
    window.repaint();
    return Ms(Clock::now() - start);
}

void PrintRow(const std::string& what, const std::vector<double>& times, double goal, bool medianOnly) {
    const bench::Summary s = bench::Summarise(times);
    std::vector<double> ratios{s.median / goal};
    if (!medianOnly)
        ratios.push_back(s.max / goal);
    bench::PrintRow(what + " (n=" + std::to_string(s.count) + ", median / max)",
                    bench::Format("%.1f", s.median) + " / " + bench::Format("%.1f ms", s.max),
                    bench::Format(medianOnly ? "goal median <= %.0f ms" : "goal <= %.0f ms", goal), ratios,
                    1.0);
}

ConfigBlock Plant() {
    ConfigBlock block = DefaultBlock();
    TextToShortString(block.Header1, "Boiler House");
    TextToShortString(block.TagName[1], "Return Temp");
    TextToShortString(block.UnitName[1], "\u00B0C");
    return block;
}

} // namespace

} // namespace quellix

using namespace quellix;

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    int runs = 10;
    if (argc == 3 && std::string_view(argv[1]) == "--runs")
        runs = std::max(1, std::atoi(argv[2]));

    auto dialogs = MakeQtUserDialogs();
    static const std::uint8_t flags[4] = {1, 1, 2, 1};
    TLinkMonitorWindow window(
        *dialogs, [] { return ChannelFlagBytes(flags); }, nullptr);
    window.show();
    QCoreApplication::processEvents();
    std::vector<double> empty;
    std::vector<double> full;
    for (int i = 0; i < runs; ++i) {
        window.Model().Clear();
        QCoreApplication::processEvents();
        empty.push_back(AppendOnce(window));
        full.push_back(AppendOnce(window));
    }
    std::printf("  monitor rows at the end: %d\n", window.Model().rowCount());
    PrintRow("Link Monitor open, appending 10,000 entries to an empty monitor", empty, AppendGoalMs, false);
    PrintRow("Link Monitor open, appending 10,000 entries to a full monitor", full, AppendGoalMs, false);

    QTemporaryDir dir;
    const QString html = ConfigSheetHtml(
        Plant(), {QDateTime::currentDateTime(), "plant.qlx", "COM1 /dev/ttyUSB0 open", "QX-4 V2.10"});
    std::vector<double> exports;
    for (int i = 0; i < 2 * runs; ++i) {
        const auto start = Clock::now();
        QString error;
        if (!WriteConfigSheetPdf(html, dir.filePath(QStringLiteral("sheet.pdf")), &error)) {
            std::fprintf(stderr, "export failed: %s\n", qPrintable(error));
            return 1;
        }
        exports.push_back(Ms(Clock::now() - start));
    }
    PrintRow("Export PDF of the configuration sheet", exports, ExportGoalMs, true);
    return 0;
}
