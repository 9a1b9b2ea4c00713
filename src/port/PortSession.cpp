#include "PortSession.h"

#include "DeviceWatcher.h"
#include "FormState.h"
#include "OpenDiagnosis.h"
#include "PortLog.h"
#include "RootedPath.h"

namespace quellix {

namespace {

// COM1..COM8, as the serial component knows them.
constexpr int ComNames = 8;

QString ComName(int n) {
    return QStringLiteral("COM%1").arg(n);
}

} // namespace

void SetUnitLineSettings(TComPort& port) {
    port.BaudRate = TBaudRate::___9600;
    port.RxDelay = TRxDelay::__50;
    port.RTSState = TRTSState::RTS_Disable;
    port.DTRState = TDTRState::DTR_Enable;
    port.Parity = TParity::None;
    port.DataBits = TDataBits::_8;
    port.StopBits = TStopBits::_1;
}

PortSession::PortSession(TComPort& port, QObject* parent) : QObject(parent), port_(port) {
    port_.OnRequestHangup = [this](TComPort*) { PortHungUp(); };
}

PortSession::~PortSession() {
    port_.OnRequestHangup = nullptr;
}

void PortSession::setDeviceRoot(const QString& rootPrefix) {
    root_ = rootPrefix;
}

QString PortSession::comDevicePath(const QMap<QString, QString>& ports, int n) {
    const QString path = ports.value(ComName(n));
    return path.isEmpty() ? QStringLiteral("/dev/ttyS%1").arg(n - 1) : path;
}

QMap<QString, QString> PortSession::readPorts() {
    return PortDevicePaths(TMemIniFile(FormStateFilePath()));
}

void PortSession::stop() {
    DropWatcher();
    port_.StopComm();
    com_ = 0;
    path_.clear();
    problem_.clear();
    problemKind_ = OpenFailureKind::Other;
    if (state_ != State::NoPort)
        SetState(State::NoPort);
}

bool PortSession::openCom(int n) {
    if (n < 1 || n > ComNames) {
        stop();
        return false;
    }
    // Read at every selection, so an edited "Ports" section counts from the next one.
    return Select(n, comDevicePath(readPorts(), n));
}

bool PortSession::openDevice(const QString& path) {
    return Select(0, path);
}

QString PortSession::statusText() const {
    QString text;
    switch (state_) {
    case State::NoPort:
        return QStringLiteral("No port selected");
    case State::Open:
        text = QStringLiteral("open");
        break;
    case State::NotOpen:
        text = QStringLiteral("not open");
        break;
    case State::Gone:
        text = QStringLiteral("gone");
        break;
    }
    const QString port = com_ > 0 ? ComName(com_) + u' ' + path_ : path_;
    return port + u' ' + text;
}

// The component opens exactly the one device selected: the default for a name without a "Ports" entry
// is decided here, and nowhere else.
bool PortSession::Select(int com, const QString& path) {
    DropWatcher();
    port_.StopComm();
    if (com > 0)
        port_.CommPort = static_cast<TCommPort>(com - 1);
    port_.SetDevicePaths({{ComName(static_cast<int>(port_.CommPort) + 1), Rooted(root_, path)}});
    com_ = com;
    path_ = path;
    const bool open = Start();
    SetState(open ? State::Open : State::NotOpen);
    return open;
}

// True when the port runs; a refusal by exception or by result is a failed open.
bool PortSession::Start() {
    problem_.clear();
    problemKind_ = OpenFailureKind::Other;
    bool open = false;
    try {
        open = port_.StartComm();
        if (!open)
            qCWarning(lcPort) << "port" << path_ << "did not start";
    } catch (const ECommsError& error) {
        qCInfo(lcPort) << "port" << path_ << "not opened:" << error.what();
    }
    if (!open) {
        const OpenDiagnosis diagnosis =
            AnalyseOpenFailure(port_.LastOpenErrno(), path_, root_, UserIdentity::Current());
        problem_ = diagnosis.text;
        problemKind_ = diagnosis.kind;
    }
    return open;
}

void PortSession::SetState(State state) {
    state_ = state;
    Q_EMIT stateChanged(state);
}

// The component delivers only its current opening's notifications, so a hang-up here belongs to the
// device selected now. One that comes after that port was stopped (by the session for the other
// worker's hang-up, or by the owner at shut-down) has nothing left to do.
void PortSession::PortHungUp() {
    if (state_ != State::Open || !port_.IsOpen()) {
        qCDebug(lcPort) << "hang-up of a port no longer in use ignored";
        return;
    }
    qCInfo(lcPort) << "port" << path_ << "hung up";
    port_.StopComm();
    WatchForReturn();
    SetState(State::Gone);
    Q_EMIT hungUp();
}

void PortSession::WatchForReturn() {
    DropWatcher();
    returnWatcher_ = new DeviceWatcher(root_, this);
    returnWatcher_->setObjectName(QStringLiteral("ReturnWatcher"));
    connect(returnWatcher_, &DeviceWatcher::pathAppeared, this, &PortSession::PathAppeared);
    returnWatcher_->watchPath(path_);
}

// Later, since the watcher may be the one whose signal runs now.
void PortSession::DropWatcher() {
    if (!returnWatcher_)
        return;
    returnWatcher_->disconnect(this);
    returnWatcher_->deleteLater();
    returnWatcher_ = nullptr;
}

// Opened again once; a failure now only shows in the state and its problem, since nobody asked for it.
void PortSession::PathAppeared(const QString& path) {
    if (state_ != State::Gone || path != path_)
        return;
    qCInfo(lcPort) << "port" << path_ << "is back; reopening";
    DropWatcher();
    const bool open = Start();
    SetState(open ? State::Open : State::NotOpen);
    Q_EMIT reopened(open);
}

} // namespace quellix
