// The opening of one serial port for whoever talks to the unit (the window, the command-line tool): which
// device a port name opens, whether the port is open and why not, and what happens when its device goes
// away and comes back. Needs no window; it reports through its signals.
#pragma once

#include "ComPort.h"
#include "OpenDiagnosis.h"

#include <QMap>
#include <QObject>
#include <QString>

namespace quellix {

class DeviceWatcher;

// The ports the window's Setup menu offers and the command line takes: COM1..COM4.
inline constexpr int PortCount = 4;

// The line settings the unit talks with, as the window's ComPort1 has them: 9600 bit/s, 8 data bits,
// no parity, 1 stop bit, a 50 ms receive gap, DTR on, RTS off. CommPort is left as it is.
void SetUnitLineSettings(TComPort& port);

class PortSession : public QObject {
    Q_OBJECT
public:
    enum class State {
        NoPort,  // nothing selected
        Open,    // the selected device is open and its workers run
        NotOpen, // the selected device did not open; problem() says why
        Gone,    // the open device went away; it is opened again, once, when its path returns
    };
    Q_ENUM(State)

    // The session opens and stops `port`, which must outlive it, and takes over its OnRequestHangup.
    explicit PortSession(TComPort& port, QObject* parent = nullptr);
    ~PortSession() override;

    TComPort& port() const { return port_; }

    // Where /dev, /sys and /proc are found; empty (the default) is the machine's own root. Tests hand in
    // a scratch tree. Paths the session takes and reports are always as the machine names them.
    void setDeviceRoot(const QString& rootPrefix);
    QString deviceRoot() const { return root_; }

    // The device COM<n> opens, given the "Ports" entries ("COM1".."COM8"): its entry, or /dev/ttyS<n-1>
    // without one.
    static QString comDevicePath(const QMap<QString, QString>& ports, int n);
    // The "Ports" entries of the form-state file as it is now.
    static QMap<QString, QString> readPorts();

    // Stops the port and forgets the selection: NoPort. Blocks until the workers have ended.
    void stop();
    // Stops the port running now, if any, selects COM<n> (1..8) with the device the form-state file's
    // "Ports" section gives it now, and opens it; whether it opened. Another n selects no port.
    bool openCom(int n);
    // The same for a device given by its path, e.g. /dev/ttyUSB0.
    bool openDevice(const QString& path);

    State state() const { return state_; }
    bool isOpen() const { return state_ == State::Open; }
    // n of the selected COM<n>; 0 for a device given by its path, and for none.
    int comNumber() const { return com_; }
    // The selected device; empty with NoPort.
    QString devicePath() const { return path_; }
    // Why the selected device is NotOpen, naming its path; empty in the other states.
    QString problem() const { return problem_; }
    // What kind of failure problem() tells; Other in the other states.
    OpenFailureKind problemKind() const { return problemKind_; }
    // The state in one line: "COM1 /dev/ttyUSB0 open", "/dev/pts/3 not open", "COM2 /dev/ttyS1 gone",
    // "No port selected".
    QString statusText() const;

Q_SIGNALS:
    // After every selection and every change of state.
    void stateChanged(quellix::PortSession::State state);
    // The open device went away: the port is stopped and the state is Gone.
    void hungUp();
    // The gone device came back and was opened again (Open), or did not open (NotOpen).
    void reopened(bool open);

private:
    bool Select(int com, const QString& path);
    bool Start();
    void SetState(State state);
    void PortHungUp();
    void WatchForReturn();
    void DropWatcher();
    void PathAppeared(const QString& path);

    TComPort& port_;
    QString root_;
    State state_ = State::NoPort;
    int com_ = 0;
    QString path_;
    QString problem_;
    OpenFailureKind problemKind_ = OpenFailureKind::Other;
    // Lives while the device is gone, to reopen it when it returns; a child of the session.
    DeviceWatcher* returnWatcher_ = nullptr;
};

} // namespace quellix
