// How the stored settings of the component become the tty's line settings.
//
// Where Linux has no exact counterpart:
// - _4 data bits: no tty frames 4-bit characters; the nearest, 5 data bits, is used.
// - _1_5 stop bits: CSTOPB, which common UARTs send as 1.5 stop bits with 5 data bits and as 2 stop
//   bits otherwise (a receiver that expects 1.5 accepts 2; with 1 it would see framing errors).
// - DTR_Handshake: Linux ttys have no DTR/DSR flow control; DTR is raised and held as with DTR_Enable.
// - RTS_Handshake: CRTSCTS (RTS/CTS flow control, both ways).
// - RTS_Toggle: the driver's RS-485 mode where it has one; otherwise the transmit worker raises RTS,
//   writes, waits until the transmitter is empty and lowers RTS again.
#pragma once
#include "ComPort.h"
#include "Termios2.h"

#include <functional>

namespace quellix {

struct LineSettings {
    TBaudRate baudRate = TBaudRate::___9600;
    TParity parity = TParity::None;
    TDataBits dataBits = TDataBits::_8;
    TStopBits stopBits = TStopBits::_1;
    TRTSState rts = TRTSState::RTS_Enable;
    TDTRState dtr = TDTRState::DTR_Enable;
};

// The settings asked of a tty that has current: raw mode (no canonical editing, echo, signals, output
// processing or byte translation), software flow control off, VMIN = VTIME = 0, CLOCAL | CREAD, the bit
// rate in bits per second, the character format, and CRTSCTS only for RTS_Handshake. Input parity
// checking (INPCK) keeps its state.
PortTermios RequestedTermios(const PortTermios& current, const LineSettings& settings);

enum class RtsToggle { None, ByDriver, ByWriter };

// Applies settings to an open port: line settings first, then DTR and RTS (some drivers reset the lines
// when the settings change), then the driver's low-latency mode. Refusals are logged only. Tells who
// toggles RTS.
RtsToggle ApplyLineSettings(int fd, const LineSettings& settings);

// Test seam: sees every termios ApplyLineSettings asks of a tty, before it is applied; a pseudo-terminal
// keeps only part of it. An empty function removes the observer. Owner's thread only.
void SetRequestedTermiosObserver(std::function<void(const PortTermios&)> observer);

} // namespace quellix
