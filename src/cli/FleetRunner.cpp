#include "FleetRunner.h"

#include "AtomicSave.h"
#include "CliOutput.h"
#include "CliPort.h"
#include "ConfigCompare.h"
#include "ConfigJson.h"
#include "PortSession.h"
#include "UnitOperation.h"
#include "UnitWriteAudit.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>

#include <algorithm>

namespace quellix {

// One unit's run: its port opened, then one operation after the other (a write's upload and its check),
// each on a driver of its own, until its row of the report is filled in.
class FleetRunner::Unit : public QObject {
public:
    Unit(FleetRunner& runner, std::size_t index)
        : runner_(runner), index_(index), unit_(runner.units_[index]), report_(runner.reports_[index]) {
        connect(&session_, &PortSession::hungUp, this, [this] {
            if (op_)
                op_->finish(UnitOperation::Result::PortGone);
        });
    }
    ~Unit() override { session_.stop(); }

    void start();
    // Ends the operation under way: nothing more goes to the unit.
    void stop() {
        if (op_ && !done_)
            op_->finish(UnitOperation::Result::Stopped);
    }

private:
    using Begin = void (UnitOperation::*)();
    // Runs one operation into `block`, then `then` when it completed.
    void operate(ConfigBlock& block, Begin begin, std::function<void()> then);
    void compare();
    void save();
    void end(UnitOutcome outcome, QString message = {});
    void audit(UnitOutcome& outcome, QString& message) const;
    QString portLabel() const { return PortLabel({unit_.port, unit_.device}); }

    FleetRunner& runner_;
    const std::size_t index_;
    const InventoryUnit& unit_;
    UnitReport& report_;
    PortSession session_;
    ConfigBlock block_ = DefaultBlock();
    ConfigBlock sent_ = DefaultBlock();
    std::unique_ptr<UnitOperation> op_;
    std::vector<std::unique_ptr<UnitOperation>> spent_;
    QElapsedTimer clock_;
    int stepsBefore_ = 0; // a write's check counts on from its upload's 13
    bool uploading_ = false;
    bool wrote_ = false; // the upload began: the write has its audit line
    bool done_ = false;
};

void FleetRunner::Unit::start() {
    report_.startMsecs = QDateTime::currentMSecsSinceEpoch();
    clock_.start();
    if (!session_.openDevice(unit_.device))
        return end(UnitOutcome::PortError,
                   QStringLiteral("Error opening com port %1: %2").arg(unit_.port, session_.problem()));
    switch (runner_.options_.task) {
    case FleetTask::Info:
        return operate(block_, &UnitOperation::startVersion, [this] { end(UnitOutcome::Ok); });
    case FleetTask::Backup:
        return operate(block_, &UnitOperation::startDownload, [this] { save(); });
    case FleetTask::Diff:
    case FleetTask::DryRun:
        return operate(block_, &UnitOperation::startDownload, [this] { compare(); });
    case FleetTask::Write:
        sent_ = unit_.desired;
        uploading_ = true;
        wrote_ = true;
        return operate(sent_, &UnitOperation::startUpload, [this] {
            uploading_ = false;
            stepsBefore_ = 13;
            // A fresh block: what is compared can only have come from the unit.
            block_ = DefaultBlock();
            operate(block_, &UnitOperation::startDownload, [this] { compare(); });
        });
    }
}

void FleetRunner::Unit::operate(ConfigBlock& block, Begin begin, std::function<void()> then) {
    // The operation that ended is still telling its end: it goes with the unit.
    if (op_)
        spent_.push_back(std::move(op_));
    op_ = std::make_unique<UnitOperation>(block, session_.port(), [this] { return runner_.stopPending(); });
    const int steps = runner_.options_.task == FleetTask::Write ? 26 : 13;
    op_->setStepHandler([this, steps](int step) {
        if (runner_.stepHandler_)
            runner_.stepHandler_(index_, stepsBefore_ + step, steps);
    });
    op_->setEndHandler([this, then = std::move(then)](UnitOperation::Result result) {
        if (!op_->version().isEmpty())
            report_.version = op_->version();
        if (result == UnitOperation::Result::Stopped)
            return end(UnitOutcome::Stopped,
                       uploading_ ? QStringLiteral("stopped; the unit may hold part of the configuration")
                                  : QStringLiteral("stopped"));
        QString message;
        const int status = op_->status(portLabel(), message);
        if (status == ExitNoAnswer)
            return end(UnitOutcome::NoAnswer, message);
        if (status != ExitDone)
            return end(UnitOutcome::PortError, message);
        then();
    });
    ((*op_).*begin)();
}

// The unit first, as the report holds it: "unit value -> desired value".
void FleetRunner::Unit::compare() {
    report_.differences = CompareConfigs(block_, unit_.desired, CompareScope::UnitHeld);
    end(report_.differences.empty() ? UnitOutcome::Ok : UnitOutcome::Differs);
}

// Only a whole download reaches here, so a unit that failed keeps its earlier file. Each save waits for
// the disk; on the pool, the units that end together wait at the same time, not one after the other.
void FleetRunner::Unit::save() {
    const QString path = QDir(runner_.options_.backupDir).filePath(unit_.name + QStringLiteral(".json"));
    runner_.saves_.start([this, path, bytes = ConfigToJson(block_)] {
        QString error;
        const bool saved = SaveFileAtomically(path, bytes, {}, &error);
        QMetaObject::invokeMethod(
            this,
            [this, saved, message = path + QStringLiteral(": cannot be written: ") + error] {
                end(saved ? UnitOutcome::Ok : UnitOutcome::FileError, saved ? QString() : message);
            },
            Qt::QueuedConnection);
    });
}

// Every write that began leaves its line, whatever its end; a line that cannot be written is this unit's
// file error, so the fleet never ends "ok" without its trail.
void FleetRunner::Unit::audit(UnitOutcome& outcome, QString& message) const {
    UnitWrite write;
    write.tool = QStringLiteral("quellix-cli");
    write.port = unit_.port;
    write.device = unit_.device;
    write.unitVersion = report_.version;
    write.sent = runner_.options_.auditAs + QStringLiteral(" (") + unit_.name + u')';
    write.block = sent_;
    const QString result = outcome == UnitOutcome::Ok ? QStringLiteral("done")
                                                      : OutcomeText(outcome) + QStringLiteral(": ") + message;
    QString error;
    if (AuditUnitWrite(write, result, &error))
        return;
    message = (message.isEmpty() ? QString() : message + QStringLiteral("; ")) +
              QStringLiteral("the audit line of this write was not written: ") + error;
    if (outcome == UnitOutcome::Ok || outcome == UnitOutcome::Differs)
        outcome = UnitOutcome::FileError;
}

void FleetRunner::Unit::end(UnitOutcome outcome, QString message) {
    if (std::exchange(done_, true))
        return;
    if (wrote_ && !runner_.options_.auditAs.isEmpty())
        audit(outcome, message);
    report_.outcome = outcome;
    report_.message = message;
    report_.durationMs = clock_.elapsed();
    if (op_)
        spent_.push_back(std::move(op_));
    // The port goes now, not when the last unit is done.
    session_.stop();
    runner_.unitEnded(index_);
}

FleetRunner::FleetRunner(const std::vector<InventoryUnit>& units, const FleetOptions& options)
    : units_(units), options_(options) {
    saves_.setMaxThreadCount(std::max(1, int(std::min<std::size_t>(units.size(), 32))));
    connect(&signals_, &StopSignals::received, this, &FleetRunner::received);
}

FleetRunner::~FleetRunner() = default;

std::vector<UnitReport> FleetRunner::run() {
    reports_.assign(units_.size(), UnitReport{});
    running_.clear();
    running_.resize(units_.size());
    for (std::size_t i = 0; i < units_.size(); ++i) {
        reports_[i].name = units_[i].name;
        reports_[i].port = units_[i].port;
    }
    QEventLoop loop;
    allEnded_ = [&loop] { loop.quit(); };
    startNext();
    // Units that could not open their ports end at once; the loop runs only for the others.
    if (ended_ < units_.size())
        loop.exec();
    allEnded_ = nullptr;
    running_.clear();
    return reports_;
}

void FleetRunner::startNext() {
    const std::size_t jobs = options_.jobs > 0 ? std::size_t(options_.jobs) : units_.size();
    while (signal_ == 0 && next_ < units_.size() && next_ - ended_ < jobs) {
        const std::size_t index = next_++;
        running_[index] = std::make_unique<Unit>(*this, index);
        running_[index]->start();
    }
}

void FleetRunner::unitEnded(std::size_t index) {
    ++ended_;
    if (endHandler_)
        endHandler_(index, reports_[index]);
    startNext();
    if (ended_ == units_.size() && allEnded_)
        allEnded_();
}

// Units under way end stopped as their operations let go; those not begun end here, never begun.
void FleetRunner::received(int signalNumber) {
    if (signal_ == 0)
        signal_ = signalNumber;
    for (const std::unique_ptr<Unit>& unit : running_)
        if (unit)
            unit->stop();
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    while (next_ < units_.size()) {
        const std::size_t index = next_++;
        reports_[index].outcome = UnitOutcome::Stopped;
        reports_[index].message = QStringLiteral("stopped before it began");
        reports_[index].startMsecs = now;
        unitEnded(index);
    }
}

} // namespace quellix
