// The kernel's termios2 view of a tty, which carries any bit rate (BOTHER) and reads it back. Kept in a
// file of its own: the kernel header it needs clashes with glibc's <termios.h>. The flag bits of the
// four mode words are the same as glibc's.
#pragma once
#include <array>
#include <cstdint>

namespace quellix {

struct PortTermios {
    std::uint32_t iflag = 0;
    std::uint32_t oflag = 0;
    std::uint32_t cflag = 0;
    std::uint32_t lflag = 0;
    std::uint8_t line = 0;
    std::array<std::uint8_t, 19> cc{};
    std::uint32_t ispeed = 0;
    std::uint32_t ospeed = 0;

    bool operator==(const PortTermios&) const = default;
};

// TCGETS2 / TCSETS2; false with errno set when the tty refuses.
bool ReadPortTermios(int fd, PortTermios& termios);
bool WritePortTermios(int fd, const PortTermios& termios);

// Sets input and output to the same rate in bits per second, any rate the driver can make.
void SetPortBitRate(PortTermios& termios, std::uint32_t bitsPerSecond);
// The output rate of settings whose rate was given in bits per second; 0 for any other.
std::uint32_t PortBitRate(const PortTermios& termios);

} // namespace quellix
