// Turns the signals that ask a program to stop (SIGTERM from kill or a service manager, SIGINT from
// Ctrl-C, SIGHUP from a closed terminal) into a Qt signal on the thread that made the object, so the
// program can end in order from its event loop instead of dying where it stands.
#pragma once

#include "UniqueFd.h"

#include <QObject>
#include <csignal>

namespace quellix {

class StopSignals : public QObject {
    Q_OBJECT
public:
    // Takes over SIGTERM, SIGINT and SIGHUP, except one the program was started with ignored (under
    // nohup, SIGHUP); one object at a time in a process.
    explicit StopSignals(QObject* parent = nullptr);
    // Gives the signals back to the handlers they had before.
    ~StopSignals() override;

    // False when the signals could not be taken over (another object has them, or no pipe could be
    // made); they then keep what they had.
    bool IsActive() const { return active_; }
    // True while a signal has come that `received` has not yet told: for code that must not act on its
    // own meanwhile, such as a request about to be written after a blocking pause.
    bool Pending() const;

Q_SIGNALS:
    // Once per signal, in the order they came.
    void received(int signalNumber);

private:
    void ReadOne();

    UniqueFd readEnd_;
    UniqueFd writeEnd_;
    struct sigaction previous_[3]{};
    bool active_ = false;
};

} // namespace quellix
