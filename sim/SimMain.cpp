// quellix-sim: plays the display unit on a pseudo-terminal or a real serial device.
#include "About.h"
#include "BlockFile.h"
#include "SimOptions.h"
#include "SimPort.h"
#include "SimUnit.h"

#include <QFileInfo>

#include <cstdio>
#include <iostream>

namespace quellix {

namespace {

bool loadState(const SimOptions& o, ConfigBlock& state) {
    SetBlockDefaults(state);
    if (o.stateFile.empty() || !QFileInfo::exists(QString::fromStdString(o.stateFile)))
        return true;
    return LoadBlockFile(state, QString::fromStdString(o.stateFile),
                         [](const QString& m) { std::cerr << "quellix-sim: " << m.toStdString() << '\n'; });
}

} // namespace

} // namespace quellix

using namespace quellix;

int main(int argc, char** argv) {
    std::string error;
    const auto options = ParseSimOptions(argc, argv, error);
    if (!options) {
        std::cerr << "quellix-sim: " << error << "\n\n" << SimUsage;
        return 2;
    }
    if (options->help) {
        std::cout << SimUsage;
        return 0;
    }
    if (options->showVersion) {
        std::cout << VersionText("quellix-sim");
        return 0;
    }
    ConfigBlock state{};
    if (!loadState(*options, state))
        return 1;
    Readings readings(options->seed);
    if (options->raw)
        readings.FixRaw(*options->raw);
    SimUnit unit(state, options->version, std::move(readings));
    unit.SetStoreOther(options->storeOther);
    return RunSimulator(*options, unit);
}
