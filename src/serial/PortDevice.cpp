#include "PortDevice.h"

#include "SerialLog.h"
#include "TtyOpen.h"

#include <cerrno>
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace quellix {

PortHandle& PortHandle::operator=(PortHandle&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::move(other.fd_);
    }
    return *this;
}

void PortHandle::Close() {
    if (!fd_.IsValid())
        return;
    ::ioctl(fd_.Get(), TIOCNXCL);
    fd_.Reset();
}

OpenResult OpenPortExclusive(const QByteArray& path) {
    OpenResult result;
    TtyOpen opened = OpenTtyExclusive(path.constData());
    result.error = opened.error;
    switch (opened.failure) {
    case TtyOpenFailure::None:
        break;
    case TtyOpenFailure::NotATty:
        result.failure = OpenFailure::NotATty;
        return result;
    case TtyOpenFailure::CannotOpen:
    case TtyOpenFailure::Locked:
        result.failure = OpenFailure::CannotOpen;
        return result;
    }
    // Beside the lock, the exclusive mark makes plain opens by others fail with EBUSY (except for
    // privileged ones). A mark left by a crashed program is not held against the port.
    if (::ioctl(opened.fd.Get(), TIOCEXCL) != 0)
        qCDebug(lcSerial) << "no exclusive mark on" << path << "errno" << errno;
    result.port = PortHandle(std::move(opened.fd));
    return result;
}

void SetModemLine(int fd, int line, bool on) {
    if (::ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &line) != 0 && errno != ENOTTY)
        qCDebug(lcSerial) << "modem line" << line << "not set, errno" << errno;
}

std::uint16_t ReadModemStatus(int fd) {
    int lines = 0;
    if (::ioctl(fd, TIOCMGET, &lines) != 0)
        return 0;
    std::uint16_t status = 0;
    if (lines & TIOCM_CTS)
        status |= ModemStatus::CtsOn;
    if (lines & TIOCM_DSR)
        status |= ModemStatus::DsrOn;
    if (lines & TIOCM_RNG)
        status |= ModemStatus::RingOn;
    if (lines & TIOCM_CAR)
        status |= ModemStatus::RlsdOn;
    return status;
}

bool ApplyModemFunction(int fd, std::uint16_t code) {
    switch (code) {
    case ModemFunction::SetXoff:
        ::tcflow(fd, TCOOFF);
        return true;
    case ModemFunction::SetXon:
        ::tcflow(fd, TCOON);
        return true;
    case ModemFunction::SetRts:
    case ModemFunction::ClrRts:
        SetModemLine(fd, TIOCM_RTS, code == ModemFunction::SetRts);
        return true;
    case ModemFunction::SetDtr:
    case ModemFunction::ClrDtr:
        SetModemLine(fd, TIOCM_DTR, code == ModemFunction::SetDtr);
        return true;
    case ModemFunction::ResetDev:
        return true;
    case ModemFunction::SetBreak:
        ::ioctl(fd, TIOCSBRK);
        return true;
    case ModemFunction::ClrBreak:
        ::ioctl(fd, TIOCCBRK);
        return true;
    default:
        return false;
    }
}

void RequestLowLatency(int fd) {
    serial_struct serial{};
    if (::ioctl(fd, TIOCGSERIAL, &serial) != 0)
        return;
    if (serial.flags & ASYNC_LOW_LATENCY)
        return;
    serial.flags |= ASYNC_LOW_LATENCY;
    if (::ioctl(fd, TIOCSSERIAL, &serial) != 0)
        qCDebug(lcSerial) << "low-latency mode refused, errno" << errno;
}

bool SetKernelRtsToggle(int fd, bool on) {
    serial_rs485 rs485{};
    if (::ioctl(fd, TIOCGRS485, &rs485) != 0)
        return false;
    if (!on && !(rs485.flags & SER_RS485_ENABLED))
        return true;
    using Flags = decltype(rs485.flags);
    if (on) {
        rs485.flags |= SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
        rs485.flags &= ~static_cast<Flags>(SER_RS485_RTS_AFTER_SEND);
    } else {
        rs485.flags &= ~static_cast<Flags>(SER_RS485_ENABLED);
    }
    return ::ioctl(fd, TIOCSRS485, &rs485) == 0;
}

void PurgeInput(int fd) {
    ::tcflush(fd, TCIFLUSH);
}

void PurgeOutput(int fd) {
    ::tcflush(fd, TCOFLUSH);
}

void DrainOutput(int fd) {
    while (::tcdrain(fd) != 0 && errno == EINTR) {
    }
}

} // namespace quellix
