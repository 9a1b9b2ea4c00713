#include "TtyLinkPort.h"

#include "PortLog.h"
#include "RootedPath.h"
#include "UserAccess.h"

namespace quellix {

namespace {

TComPort& componentFor(TComPort* given, std::unique_ptr<TComPort>& own) {
    if (given)
        return *given;
    own = std::make_unique<TComPort>();
    setUnitLineSettings(*own);
    return *own;
}

} // namespace

void setUnitLineSettings(TComPort& port) {
    port.BaudRate = TBaudRate::___9600;
    port.RxDelay = TRxDelay::__50;
    port.RTSState = TRTSState::RTS_Disable;
    port.DTRState = TDTRState::DTR_Enable;
    port.Parity = TParity::None;
    port.DataBits = TDataBits::_8;
    port.StopBits = TStopBits::_1;
}

TtyLinkPort::TtyLinkPort(TComPort* component, int com, const QString& path, const QString& deviceRoot,
                         QObject* parent)
    : LinkPort(parent), component_(componentFor(component, own_)), com_(com), path_(path), root_(deviceRoot) {
    component_.OnReceiveString = [this](const QByteArray& batch) { Q_EMIT received(batch); };
    // The component delivers only its current opening's notifications: a hang-up is this opening's.
    component_.OnRequestHangup = [this](TComPort*) { Q_EMIT hungUp(opening()); };
}

TtyLinkPort::~TtyLinkPort() {
    close();
    component_.OnReceiveString = nullptr;
    component_.OnRequestHangup = nullptr;
}

// The component opens exactly the one device given: its COM name maps to this path alone. A refusal
// by exception or by result is a failed open.
bool TtyLinkPort::open() {
    beginOpening();
    if (com_ > 0)
        component_.CommPort = static_cast<TCommPort>(com_ - 1);
    component_.SetDevicePaths(
        {{QStringLiteral("COM%1").arg(static_cast<int>(component_.CommPort) + 1), Rooted(root_, path_)}});
    failure_ = {};
    bool open = false;
    try {
        open = component_.StartComm();
        if (!open)
            qCWarning(lcPort) << "port" << path_ << "did not start";
    } catch (const ECommsError& error) {
        qCInfo(lcPort) << "port" << path_ << "not opened:" << error.what();
    }
    if (!open)
        failure_ = AnalyseOpenFailure(component_.LastOpenErrno(), path_, root_, UserIdentity::Current());
    return open;
}

void TtyLinkPort::close() {
    component_.StopComm();
}

bool TtyLinkPort::isOpen() const {
    return component_.IsOpen();
}

bool TtyLinkPort::write(const char* data, std::uint16_t length) {
    return component_.WriteCommData(data, length);
}

} // namespace quellix
