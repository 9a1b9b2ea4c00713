// The unit on a port for one command: the port opened as the window opens it, a link driver over it
// for each operation (pausing only itself, with the window's timing), Ctrl-C, SIGTERM and SIGHUP
// ending the operation that runs, and what is printed meanwhile (frames with --verbose, progress on a
// terminal). Failures come back as exit statuses, their messages printed.
#pragma once

#include "CliOutput.h"
#include "CliPort.h"
#include "ConfigBlock.h"
#include "LinkDriver.h"
#include "PortSession.h"
#include "StopSignals.h"
#include "UnitOperation.h"

#include <QObject>

#include <functional>

namespace quellix {

class UnitSession : public QObject {
public:
    UnitSession(const PortName& port, CliOutput& output);
    // Stops the port.
    ~UnitSession() override;

    // ExitDone, or ExitPortNotOpened with the window's reason printed.
    int open();

    // A configuration download into `block`, shown as `verb` ("Reading 5/13"). ExitDone only when every
    // item arrived: a download that completed without storing one (moved on by 'T', or with a reply too
    // short to use) is ExitNoAnswer, naming what is missing.
    int download(ConfigBlock& block, const QString& verb, QString* version = nullptr);
    // The upload of `block`, ending with the store command.
    int upload(const ConfigBlock& block);
    // The unit's version text: the version request that opens a download, and no request after it, so
    // that no reply is left on its way when the port closes.
    int version(QString& text);
    // Auto Read every `intervalMs` into `block` until stop() or a stop signal; `readings` hears the link
    // meanwhile. ExitDone when stopped. A port that goes away is followed as the window follows it (a
    // device until it returns, a network port tried again every few seconds), and the readings go on.
    int autoRead(ConfigBlock& block, int intervalMs, LinkListener& readings);

    // Ends the operation running now, and refuses those after it.
    void stop();
    // The signal that stopped the session, or 0.
    int stopSignal() const { return signal_; }
    // How the port is named in messages: "COM2 (/dev/ttyUSB1)" or the path.
    QString portLabel() const;

private:
    // Runs one operation on a driver of its own: `start` begins it, and the event loop runs until the
    // operation ends. `verb` names the progress line; none shows without one. The unit's version text
    // lands in `version`.
    int run(ConfigBlock& block, const std::function<void(UnitOperation&)>& start, const QString& verb,
            LinkListener* extra = nullptr, QString* version = nullptr);
    void received(int signalNumber);
    QString goneText() const;
    void portHungUp();
    void portReopened(bool open);

    PortName name_;
    CliOutput& output_;
    PortSession session_;
    StopSignals signals_;
    UnitOperation* current_ = nullptr;
    bool stopped_ = false;
    bool followReturn_ = false; // while Auto Read runs
    int signal_ = 0;
};

} // namespace quellix
