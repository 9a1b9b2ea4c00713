// The work of a fleet command on every unit of an inventory at once, in one thread: each unit on its own
// port with its own link driver, as many at a time as --jobs allows. Ctrl-C, SIGTERM and SIGHUP end it:
// no request is written after the stop, and the units under way, or not yet begun, end "stopped".
#pragma once

#include "FleetReport.h"
#include "Inventory.h"
#include "StopSignals.h"

#include <QObject>
#include <QString>
#include <QThreadPool>

#include <functional>
#include <memory>
#include <vector>

namespace quellix {

enum class FleetTask {
    Info,   // the version text
    Backup, // the configuration into DIR/NAME.json
    Diff,   // the configuration against the desired one
    Write,  // the desired configuration stored, then read back and compared
    DryRun, // what a write would change, nothing written
};

struct FleetOptions {
    FleetTask task = FleetTask::Info;
    QString backupDir;
    int jobs = 0; // units at a time; 0: all
    // A write's audit lines name what was sent ("fleet write plant.csv"); empty: no audit lines.
    QString auditAs;
};

class FleetRunner : public QObject {
public:
    // Told as a unit moves: `step` of `steps` (13, or 26 for a write with its check).
    using StepHandler = std::function<void(std::size_t unit, int step, int steps)>;
    // Told as a unit ends, with its row of the report.
    using EndHandler = std::function<void(std::size_t unit, const UnitReport& report)>;

    FleetRunner(const std::vector<InventoryUnit>& units, const FleetOptions& options);
    ~FleetRunner() override;

    void setStepHandler(StepHandler handler) { stepHandler_ = std::move(handler); }
    void setEndHandler(EndHandler handler) { endHandler_ = std::move(handler); }

    // Runs every unit to its end, or until a stop signal; one row per unit, in the inventory's order.
    std::vector<UnitReport> run();
    // The signal that stopped the run, or 0.
    int stopSignal() const { return signal_; }

private:
    class Unit;

    void startNext();
    void unitEnded(std::size_t index);
    void received(int signalNumber);
    bool stopPending() const { return signal_ != 0 || signals_.Pending(); }

    const std::vector<InventoryUnit>& units_;
    FleetOptions options_;
    StopSignals signals_;
    QThreadPool saves_;                          // the backups' writes, which wait for the disk
    std::vector<std::unique_ptr<Unit>> running_; // by unit; null until it starts
    std::vector<UnitReport> reports_;
    std::size_t next_ = 0;
    std::size_t ended_ = 0;
    int signal_ = 0;
    StepHandler stepHandler_;
    EndHandler endHandler_;
    std::function<void()> allEnded_;
};

} // namespace quellix
