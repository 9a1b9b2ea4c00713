// The real main window for a benchmark: started as the program starts it, with COM1 mapped to a device
// and checked, in scratch configuration and start-up directories; and a watch on a label that stamps
// the moment it paints a wanted text.
#pragma once

#include "BenchSupport.h"
#include "Unit1.h"
#include "Unit2.h"

#include <QEventLoop>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <optional>

class QLabel;

namespace quellix {

class BenchWindow {
public:
    // Empty `device`: no port is checked, as at a first start.
    explicit BenchWindow(const QString& device);
    ~BenchWindow();
    BenchWindow(const BenchWindow&) = delete;
    BenchWindow& operator=(const BenchWindow&) = delete;

    // True when the window came up without a message (the port opened).
    bool Ok() const { return !*messageShown_; }
    TForm1& Form() { return *form_; }
    template <class T> T* Find(const QString& name) const { return form_->findChild<T*>(name); }

private:
    QTemporaryDir config_;
    QTemporaryDir start_;
    std::shared_ptr<bool> messageShown_ = std::make_shared<bool>(false);
    std::unique_ptr<TForm1> form_;
    std::unique_ptr<TForm2> form2_;
};

// Stamps the first paint of a label, after Arm, whose text `shown` accepts; the paint is when the user
// can first see it.
class PaintWatch : public QObject {
public:
    explicit PaintWatch(QLabel* label);
    void Arm(std::function<bool(const QString&)> shown);
    // Runs the event loop until the stamp is taken or `limitMs` passes.
    std::optional<bench::Clock::time_point> Wait(int limitMs);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* label_;
    std::function<bool(const QString&)> shown_;
    std::optional<bench::Clock::time_point> stamp_;
    QEventLoop loop_;
};

// Runs the event loop for `ms`.
void Spin(int ms);

// quellix-sim started on a pseudo-terminal of its own, and stopped with this object. `device()` is the
// path it serves, empty when it did not start (the reason is printed).
class BenchSim {
public:
    explicit BenchSim(const QString& program);
    ~BenchSim();
    BenchSim(const BenchSim&) = delete;
    BenchSim& operator=(const BenchSim&) = delete;
    const QString& device() const { return device_; }

private:
    QProcess process_;
    QString device_;
};

// This process's CPU time (every thread) against the wall time while the event loop runs for `seconds`.
struct IdleCpu {
    double cpuSeconds = 0;
    double wallSeconds = 0;
    double percent() const { return 100 * cpuSeconds / wallSeconds; }
};
IdleCpu MeasureIdle(int seconds);

} // namespace quellix
