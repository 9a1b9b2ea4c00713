// A serial device held by this program alone, and the calls on its modem lines and driver options.
#pragma once
#include "UniqueFd.h"

#include <QByteArray>

#include <cstdint>

namespace quellix {

// The open port. While open it holds flock(LOCK_EX) and the tty's exclusive mark (TIOCEXCL); closing
// clears the mark first, because the kernel keeps it past its owner's close.
class PortHandle {
public:
    PortHandle() = default;
    explicit PortHandle(UniqueFd fd) : fd_(std::move(fd)) {}
    ~PortHandle() { Close(); }
    PortHandle(PortHandle&&) noexcept = default;
    PortHandle& operator=(PortHandle&& other) noexcept;

    int Fd() const { return fd_.Get(); }
    bool IsOpen() const { return fd_.IsValid(); }
    void Close();

private:
    UniqueFd fd_;
};

enum class OpenFailure { None, CannotOpen, NotATty };

struct OpenResult {
    PortHandle port;
    OpenFailure failure = OpenFailure::None;
    // errno of the call that failed, 0 when none did.
    int error = 0;
};

// Opens the device as OpenTtyExclusive does (a tty that nobody else holds with flock) and sets its
// exclusive mark; a lock held by another open file counts as CannotOpen.
OpenResult OpenPortExclusive(const QByteArray& path);

// Modem status bits as the component reports them (OnCommState).
namespace ModemStatus {
constexpr std::uint16_t CtsOn = 0x10;
constexpr std::uint16_t DsrOn = 0x20;
constexpr std::uint16_t RingOn = 0x40;
constexpr std::uint16_t RlsdOn = 0x80;
} // namespace ModemStatus

// Codes of the modem-line function request.
namespace ModemFunction {
constexpr std::uint16_t SetXoff = 1;
constexpr std::uint16_t SetXon = 2;
constexpr std::uint16_t SetRts = 3;
constexpr std::uint16_t ClrRts = 4;
constexpr std::uint16_t SetDtr = 5;
constexpr std::uint16_t ClrDtr = 6;
constexpr std::uint16_t ResetDev = 7;
constexpr std::uint16_t SetBreak = 8;
constexpr std::uint16_t ClrBreak = 9;
} // namespace ModemFunction

// Raises or lowers TIOCM_DTR / TIOCM_RTS. A tty without modem lines (a pseudo-terminal answers ENOTTY)
// has nothing to set, which is no failure; other refusals are logged only.
void SetModemLine(int fd, int line, bool on);
// CTS, DSR, ring and carrier as ModemStatus bits; 0 for a tty without modem lines.
std::uint16_t ReadModemStatus(int fd);
// Carries out a ModemFunction code; false for a code it does not know.
bool ApplyModemFunction(int fd, std::uint16_t code);

// Asks the driver to hand on received bytes at once (USB adapters otherwise hold them up to 16 ms).
void RequestLowLatency(int fd);
// Turns the driver's RS-485 mode (RTS raised while sending) on or off; false where the driver has none.
// It is turned off when not asked for, since a previous program's mode would persist.
bool SetKernelRtsToggle(int fd, bool on);

// Discard unread input / untransmitted output. A vanished device answers EIO, which is ignored.
void PurgeInput(int fd);
void PurgeOutput(int fd);
// Waits until the transmitter has sent everything written.
void DrainOutput(int fd);

} // namespace quellix
