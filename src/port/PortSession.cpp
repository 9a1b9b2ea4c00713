#include "PortSession.h"

#include "DeviceWatcher.h"
#include "FormState.h"
#include "LinkPorts.h"
#include "PortLog.h"

#include <QTimer>

namespace quellix {

namespace {

// COM1..COM8, as the serial component knows them.
constexpr int ComNames = 8;

QString comName(int n) {
    return QStringLiteral("COM%1").arg(n);
}

} // namespace

PortSession::PortSession(QObject* parent) : PortSession(nullptr, parent) {}

PortSession::PortSession(TComPort& ttyComponent, QObject* parent) : PortSession(&ttyComponent, parent) {}

PortSession::PortSession(TComPort* ttyComponent, QObject* parent)
    : QObject(parent), ttyComponent_(ttyComponent), reconnectTimer_(new QTimer(this)) {
    reconnectTimer_->setObjectName(QStringLiteral("ReconnectTimer"));
    reconnectTimer_->setSingleShot(true);
    reconnectTimer_->setInterval(ReconnectIntervalMs);
    connect(reconnectTimer_, &QTimer::timeout, this, &PortSession::tryReconnect);
}

PortSession::~PortSession() {
    dropWatcher();
    dropPort();
}

void PortSession::setDeviceRoot(const QString& rootPrefix) {
    root_ = rootPrefix;
}

QString PortSession::comDevicePath(const QMap<QString, QString>& ports, int n) {
    const QString path = ports.value(comName(n));
    return path.isEmpty() ? QStringLiteral("/dev/ttyS%1").arg(n - 1) : path;
}

QMap<QString, QString> PortSession::readPorts() {
    return PortDevicePaths(TMemIniFile(FormStateFilePath()));
}

void PortSession::stop() {
    dropWatcher();
    dropPort();
    com_ = 0;
    path_.clear();
    problem_.clear();
    problemKind_ = OpenFailureKind::Other;
    if (state_ != State::NoPort)
        setState(State::NoPort);
}

bool PortSession::openCom(int n) {
    if (n < 1 || n > ComNames) {
        stop();
        return false;
    }
    // Read at every selection, so an edited "Ports" section counts from the next one.
    return select(n, comDevicePath(readPorts(), n));
}

bool PortSession::openDevice(const QString& path) {
    return select(0, path);
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
    const QString port = com_ > 0 ? comName(com_) + u' ' + path_ : path_;
    return port + u' ' + text;
}

// The port opens exactly the one device selected: the default for a name without a "Ports" entry is
// decided here, and nowhere else.
bool PortSession::select(int com, const QString& path) {
    dropWatcher();
    dropPort();
    port_ = createLinkPort({path, com, root_, ttyComponent_});
    connect(port_.get(), &LinkPort::hungUp, this, &PortSession::portHungUp);
    connect(port_.get(), &LinkPort::openEnded, this, &PortSession::reconnectEnded);
    com_ = com;
    path_ = path;
    Q_EMIT portChanged(port_.get());
    const bool open = start();
    setState(open ? State::Open : State::NotOpen);
    return open;
}

// Whoever talks through the port lets go of it first; it is closed before it goes, so no worker
// outlives it.
void PortSession::dropPort() {
    if (!port_)
        return;
    Q_EMIT portChanged(nullptr);
    port_->close();
    port_->disconnect(this);
    port_.reset();
}

bool PortSession::start() {
    const bool open = port_->open();
    problem_ = open ? QString() : port_->failureText();
    problemKind_ = open ? OpenFailureKind::Other : port_->failureKind();
    return open;
}

void PortSession::setState(State state) {
    state_ = state;
    Q_EMIT stateChanged(state);
}

// A hang-up counts only for the opening running now. One that comes after that port was closed (by the
// session for the other worker's hang-up, or by the owner at shut-down) has nothing left to do.
void PortSession::portHungUp(quint32 opening) {
    if (state_ != State::Open || !port_ || opening != port_->opening() || !port_->isOpen()) {
        qCDebug(lcPort) << "hang-up of a port no longer in use ignored";
        return;
    }
    qCInfo(lcPort) << "port" << path_ << "hung up";
    // A network port knows why its connection ended; a tty's says nothing here.
    problem_ = port_->failureText();
    port_->close();
    watchForReturn();
    setState(State::Gone);
    Q_EMIT hungUp();
}

void PortSession::watchForReturn() {
    dropWatcher();
    const QString device = port_->devicePath();
    if (device.isEmpty()) {
        reconnectTimer_->start();
        return;
    }
    returnWatcher_ = new DeviceWatcher(root_, this);
    returnWatcher_->setObjectName(QStringLiteral("ReturnWatcher"));
    connect(returnWatcher_, &DeviceWatcher::pathAppeared, this, &PortSession::pathAppeared);
    returnWatcher_->watchPath(device);
}

// Later, since the watcher may be the one whose signal runs now.
void PortSession::dropWatcher() {
    reconnectTimer_->stop();
    if (!returnWatcher_)
        return;
    returnWatcher_->disconnect(this);
    returnWatcher_->deleteLater();
    returnWatcher_ = nullptr;
}

// Opened again once; a failure now only shows in the state and its problem, since nobody asked for it.
void PortSession::pathAppeared(const QString& path) {
    if (state_ != State::Gone || !port_ || path != port_->devicePath())
        return;
    qCInfo(lcPort) << "port" << path_ << "is back; reopening";
    dropWatcher();
    const bool open = start();
    setState(open ? State::Open : State::NotOpen);
    Q_EMIT reopened(open);
}

void PortSession::tryReconnect() {
    if (state_ != State::Gone || !port_)
        return;
    qCDebug(lcPort) << "trying" << path_ << "again";
    if (!port_->startOpen())
        qCInfo(lcPort) << "port" << path_ << "cannot be tried again";
}

// A failed try keeps the port Gone with the newest reason, and the next try follows.
void PortSession::reconnectEnded(bool open) {
    if (state_ != State::Gone || !port_)
        return;
    if (!open) {
        problem_ = port_->failureText();
        reconnectTimer_->start();
        return;
    }
    qCInfo(lcPort) << "port" << path_ << "is back";
    problem_.clear();
    setState(State::Open);
    Q_EMIT reopened(true);
}

} // namespace quellix
