#include "LineSettings.h"

#include "PortDevice.h"
#include "SerialLog.h"

#include <cmath>
#include <sys/ioctl.h>
#include <termios.h>
#include <utility>

namespace quellix {

namespace {

std::function<void(const PortTermios&)>& Observer() {
    static std::function<void(const PortTermios&)> observer;
    return observer;
}

std::uint32_t CharacterSize(TDataBits bits) {
    switch (bits) {
    case TDataBits::_4:
    case TDataBits::_5:
        return CS5;
    case TDataBits::_6:
        return CS6;
    case TDataBits::_7:
        return CS7;
    case TDataBits::_8:
        break;
    }
    return CS8;
}

std::uint32_t ParityFlags(TParity parity) {
    switch (parity) {
    case TParity::None:
        break;
    case TParity::Odd:
        return PARENB | PARODD;
    case TParity::Even:
        return PARENB;
    case TParity::Mark:
        return PARENB | PARODD | CMSPAR;
    case TParity::Space:
        return PARENB | CMSPAR;
    }
    return 0;
}

} // namespace

int BaudRateValue(TBaudRate rate) {
    static constexpr int values[] = {110,   300,   600,   1200,  2400,   4800,  9600,
                                     14400, 19200, 38400, 57600, 115200, 230400};
    return values[static_cast<int>(rate)];
}

int ReceiveGapMs(TRxDelay delay, TBaudRate rate) {
    static constexpr int fixed[] = {0, 250, 200, 150, 100, 50, 40, 30, 20, 10};
    if (delay != TRxDelay::Auto_delay)
        return fixed[static_cast<int>(delay)];
    return static_cast<int>(std::lround(250000.0 / BaudRateValue(rate))) + 10;
}

PortTermios RequestedTermios(const PortTermios& current, const LineSettings& settings) {
    PortTermios t = current;
    t.iflag &= ~static_cast<std::uint32_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IUCLC |
                                           IXON | IXOFF | IXANY | IMAXBEL);
    t.oflag &= ~static_cast<std::uint32_t>(OPOST);
    t.lflag &= ~static_cast<std::uint32_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.cflag &= ~static_cast<std::uint32_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    t.cflag |= CLOCAL | CREAD | CharacterSize(settings.dataBits) | ParityFlags(settings.parity);
    if (settings.stopBits != TStopBits::_1)
        t.cflag |= CSTOPB;
    if (settings.rts == TRTSState::RTS_Handshake)
        t.cflag |= CRTSCTS;
    t.cc[VMIN] = 0;
    t.cc[VTIME] = 0;
    SetPortBitRate(t, static_cast<std::uint32_t>(BaudRateValue(settings.baudRate)));
    return t;
}

RtsToggle ApplyLineSettings(int fd, const LineSettings& settings) {
    PortTermios current;
    if (!ReadPortTermios(fd, current))
        qCDebug(lcSerial) << "line settings not readable, errno" << errno;
    const PortTermios requested = RequestedTermios(current, settings);
    if (const auto& observer = Observer())
        observer(requested);
    if (!WritePortTermios(fd, requested))
        qCDebug(lcSerial) << "line settings refused, errno" << errno;

    SetModemLine(fd, TIOCM_DTR, settings.dtr != TDTRState::DTR_Disable);
    RtsToggle toggle = RtsToggle::None;
    switch (settings.rts) {
    case TRTSState::RTS_Disable:
    case TRTSState::RTS_Enable:
        SetKernelRtsToggle(fd, false);
        SetModemLine(fd, TIOCM_RTS, settings.rts == TRTSState::RTS_Enable);
        break;
    case TRTSState::RTS_Handshake:
        SetKernelRtsToggle(fd, false);
        break;
    case TRTSState::RTS_Toggle:
        if (SetKernelRtsToggle(fd, true)) {
            toggle = RtsToggle::ByDriver;
        } else {
            SetModemLine(fd, TIOCM_RTS, false);
            toggle = RtsToggle::ByWriter;
        }
        break;
    }
    RequestLowLatency(fd);
    return toggle;
}

void SetRequestedTermiosObserver(std::function<void(const PortTermios&)> observer) {
    Observer() = std::move(observer);
}

} // namespace quellix
