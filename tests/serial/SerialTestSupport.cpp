#include "SerialTestSupport.h"

namespace quellix {

void EventLog::Attach(TComPort& port) {
    port.OnReceiveData = [this](const std::uint8_t* buffer, std::uint16_t length) {
        dataBlocks.emplace_back(reinterpret_cast<const char*>(buffer), length);
        order.push_back('d');
    };
    port.OnReceiveString = [this](const QByteArray& s) {
        batches.push_back(s);
        batchTimes.push_back(std::chrono::steady_clock::now());
        order.push_back('s');
    };
    port.OnRequestHangup = [this](TComPort*) {
        ++hangups;
        order.push_back('h');
    };
}

QByteArray EventLog::Joined() const {
    QByteArray all;
    for (const QByteArray& batch : batches)
        all += batch;
    return all;
}

PortOnPty::PortOnPty(TRxDelay delay) {
    port.SetDevicePaths({{QStringLiteral("COM1"), pty.path()}});
    port.CommPort = TCommPort::Com1;
    port.RxDelay = delay;
    log.Attach(port);
}

} // namespace quellix
