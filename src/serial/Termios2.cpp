#include "Termios2.h"

#include <asm/termbits.h>
#include <cstring>
#include <sys/ioctl.h>

namespace quellix {

static_assert(sizeof(termios2::c_cc) == sizeof(PortTermios::cc), "termios2 control characters");

namespace {

termios2 ToKernel(const PortTermios& in) {
    termios2 out{};
    out.c_iflag = in.iflag;
    out.c_oflag = in.oflag;
    out.c_cflag = in.cflag;
    out.c_lflag = in.lflag;
    out.c_line = in.line;
    std::memcpy(out.c_cc, in.cc.data(), in.cc.size());
    out.c_ispeed = in.ispeed;
    out.c_ospeed = in.ospeed;
    return out;
}

PortTermios FromKernel(const termios2& in) {
    PortTermios out;
    out.iflag = in.c_iflag;
    out.oflag = in.c_oflag;
    out.cflag = in.c_cflag;
    out.lflag = in.c_lflag;
    out.line = in.c_line;
    std::memcpy(out.cc.data(), in.c_cc, out.cc.size());
    out.ispeed = in.c_ispeed;
    out.ospeed = in.c_ospeed;
    return out;
}

} // namespace

bool ReadPortTermios(int fd, PortTermios& termios) {
    termios2 kernel{};
    if (::ioctl(fd, TCGETS2, &kernel) != 0)
        return false;
    termios = FromKernel(kernel);
    return true;
}

bool WritePortTermios(int fd, const PortTermios& termios) {
    const termios2 kernel = ToKernel(termios);
    return ::ioctl(fd, TCSETS2, &kernel) == 0;
}

void SetPortBitRate(PortTermios& termios, std::uint32_t bitsPerSecond) {
    // The input rate field is set as well: left at B0 it would follow the output rate only on some
    // drivers.
    termios.cflag &= ~static_cast<std::uint32_t>(CBAUD | (CBAUD << IBSHIFT));
    termios.cflag |= BOTHER | (BOTHER << IBSHIFT);
    termios.ispeed = bitsPerSecond;
    termios.ospeed = bitsPerSecond;
}

std::uint32_t PortBitRate(const PortTermios& termios) {
    return (termios.cflag & CBAUD) == BOTHER ? termios.ospeed : 0;
}

} // namespace quellix
