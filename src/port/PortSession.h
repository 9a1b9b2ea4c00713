// The opening of one port for whoever talks to the unit (the window, the command-line tool): which
// device a port name opens, the port made for it, whether it is open and why not, and what happens when
// its device goes away and comes back. Needs no window; it reports through its signals.
#pragma once

#include "LinkPort.h"
#include "OpenDiagnosis.h"

#include <QMap>
#include <QObject>
#include <QString>

#include <memory>

class QTimer;

namespace quellix {

class DeviceWatcher;
class TComPort;

// The ports the window's Setup menu offers and the command line takes: COM1..COM4.
inline constexpr int PortCount = 4;
// How often a gone network port is tried again: soon enough that readings go on within seconds of a
// restarted server, seldom enough that a server down for long sees no flood of connections.
inline constexpr int ReconnectIntervalMs = 2000;

class PortSession : public QObject {
    Q_OBJECT
public:
    enum class State {
        NoPort,  // nothing selected
        Open,    // the selected port is open
        NotOpen, // the selected port did not open; problem() says why
        Gone,    // the open port's device went away; it is opened again, once, when its path returns; a
                 // network port is tried again every ReconnectIntervalMs until it opens
    };
    Q_ENUM(State)

    // Each serial device opens through a serial component of its own.
    explicit PortSession(QObject* parent = nullptr);
    // Serial devices open through `ttyComponent` (the window's ComPort1), which must outlive the session.
    explicit PortSession(TComPort& ttyComponent, QObject* parent = nullptr);
    // Stops the port.
    ~PortSession() override;

    // Where /dev, /sys and /proc are found; empty (the default) is the machine's own root. Tests hand in
    // a scratch tree. Paths the session takes and reports are always as the machine names them.
    void setDeviceRoot(const QString& rootPrefix);
    QString deviceRoot() const { return root_; }

    // The device COM<n> opens, given the "Ports" entries ("COM1".."COM8"): its entry, or /dev/ttyS<n-1>
    // without one.
    static QString comDevicePath(const QMap<QString, QString>& ports, int n);
    // The "Ports" entries of the form-state file as it is now.
    static QMap<QString, QString> readPorts();

    // Stops the port and forgets the selection: NoPort. Blocks until the port is closed.
    void stop();
    // Stops the port running now, if any, selects COM<n> (1..8) with the device the form-state file's
    // "Ports" section gives it now, and opens it; whether it opened. Another n selects no port.
    bool openCom(int n);
    // The same for a port given by its name, e.g. /dev/ttyUSB0.
    bool openDevice(const QString& path);

    // The port of the selection, open or not; null with NoPort.
    LinkPort* port() const { return port_.get(); }
    State state() const { return state_; }
    bool isOpen() const { return state_ == State::Open; }
    // n of the selected COM<n>; 0 for a port given by its name, and for none.
    int comNumber() const { return com_; }
    // The selected port's name (its device); empty with NoPort.
    QString devicePath() const { return path_; }
    // Why the selected port is NotOpen, naming it; for a network port also why it is Gone; empty in the
    // other states.
    QString problem() const { return problem_; }
    // What kind of failure problem() tells; Other in the other states.
    OpenFailureKind problemKind() const { return problemKind_; }
    // The state in one line: "COM1 /dev/ttyUSB0 open", "/dev/pts/3 not open", "COM2 /dev/ttyS1 gone",
    // "No port selected".
    QString statusText() const;

Q_SIGNALS:
    // The port of the selection: a new one, before it opens, or none, before the previous one goes.
    void portChanged(quellix::LinkPort* port);
    // After every selection and every change of state.
    void stateChanged(quellix::PortSession::State state);
    // The open port's device went away: the port is closed and the state is Gone.
    void hungUp();
    // The gone device came back and was opened again (Open), or did not open (NotOpen). A network port
    // tells only its reopening: a failed try leaves it Gone, to be tried again.
    void reopened(bool open);

private:
    PortSession(TComPort* ttyComponent, QObject* parent);
    bool select(int com, const QString& path);
    void dropPort();
    bool start();
    void setState(State state);
    void portHungUp(quint32 opening);
    void watchForReturn();
    void dropWatcher();
    void pathAppeared(const QString& path);
    void tryReconnect();
    void reconnectEnded(bool open);

    TComPort* ttyComponent_ = nullptr;
    QString root_;
    std::unique_ptr<LinkPort> port_;
    State state_ = State::NoPort;
    int com_ = 0;
    QString path_;
    QString problem_;
    OpenFailureKind problemKind_ = OpenFailureKind::Other;
    // Lives while the device is gone, to reopen it when it returns; a child of the session.
    DeviceWatcher* returnWatcher_ = nullptr;
    // Runs while a network port is gone and no try is under way.
    QTimer* reconnectTimer_ = nullptr;
};

} // namespace quellix
