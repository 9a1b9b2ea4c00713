// The serial port component: owns one port, configures it, runs a receive worker and a transmit
// worker, and raises its events on the owner's thread through its Qt event loop.
#pragma once

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>

namespace quellix {

// The padded enumeration names are the component's published names; they are scoped, so the leading
// underscores never meet the global namespace.
enum class TCommPort : std::uint8_t { Com1, Com2, Com3, Com4, Com5, Com6, Com7, Com8 };
enum class TBaudRate : std::uint8_t {
    ____110,
    ____300,
    ____600,
    ___1200,
    ___2400,
    ___4800,
    ___9600,
    __14400,
    __19200,
    __38400,
    __57600,
    _115200,
    _230400
};
enum class TRxDelay : std::uint8_t { Auto_delay, _250, _200, _150, _100, __50, __40, __30, __20, __10 };
enum class TDTRState : std::uint8_t { DTR_Disable, DTR_Enable, DTR_Handshake };
enum class TRTSState : std::uint8_t { RTS_Disable, RTS_Enable, RTS_Handshake, RTS_Toggle };
enum class TParity : std::uint8_t { None, Odd, Even, Mark, Space };
enum class TDataBits : std::uint8_t { _4, _5, _6, _7, _8 };
enum class TStopBits : std::uint8_t { _1, _1_5, _2 };

// Bits per second of a bit rate setting.
int BaudRateValue(TBaudRate rate);
// The receive gap in milliseconds; Auto_delay gives round(250000 / bit rate) + 10.
int ReceiveGapMs(TRxDelay delay, TBaudRate rate);

// Raised by StartComm with a fixed message for a port it cannot open.
class ECommsError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TComPortPrivate;

class TComPort : public QObject {
    Q_OBJECT
public:
    explicit TComPort(QObject* owner = nullptr);
    // Stops a running port first: no worker outlives the component.
    ~TComPort() override;

    // Stored settings, read by the next StartComm only.
    TCommPort CommPort = TCommPort::Com1;
    TBaudRate BaudRate = TBaudRate::___9600;
    TRxDelay RxDelay = TRxDelay::Auto_delay;
    TRTSState RTSState = TRTSState::RTS_Enable;
    TDTRState DTRState = TDTRState::DTR_Enable;
    TParity Parity = TParity::None;
    TDataBits DataBits = TDataBits::_8;
    TStopBits StopBits = TStopBits::_1;

    // Events, raised on the owner's thread when assigned.
    std::function<void(const std::uint8_t* buffer, std::uint16_t length)> OnReceiveData;
    std::function<void(const QByteArray& s)> OnReceiveString;
    std::function<void(std::uint16_t value)> OnWriteComplete;
    std::function<void(std::uint16_t status)> OnCommState;
    std::function<void(TComPort* sender)> OnRequestHangup;

    // Maps "COM1".."COM8" to the device paths the owner gives them. A name without an entry has no
    // device, and StartComm fails to open it.
    void SetDevicePaths(const QMap<QString, QString>& paths);
    // The device path CommPort names now; empty when it has none.
    QString DevicePath() const;

    // Opens and configures the port named by CommPort and starts both workers. Throws ECommsError
    // ("Already have a comm file open", "Error opening com port", "File handle is not a comm handle. ",
    // "Unable to create Read thread", "Unable to create Write thread"); false when the stop signal could
    // not be created. All or nothing: after a failure no worker runs and the device is closed and
    // unlocked.
    bool StartComm();
    // Stops both workers and closes the port; nothing when closed. Notifications already posted are
    // still delivered afterwards, until the next StartComm: from then on only its own workers' count.
    void StopComm();
    // Queues a copy of the bytes for the transmit worker and returns at once; true means queued.
    bool WriteCommData(const char* buffer, std::uint16_t length);

    bool IsOpen() const;
    // Why the last StartComm failed to open its device: the errno of the failing call (0 when it did
    // not fail there) and the path it tried.
    int LastOpenErrno() const;
    QString LastOpenPath() const;

private:
    void AbandonStart();

    std::unique_ptr<TComPortPrivate> d;
};

} // namespace quellix
