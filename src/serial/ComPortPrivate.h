// What TComPort keeps while closed and open. Declaration order is destruction order in reverse: the
// workers go first, then the stop signal and the port they use, the channel they post to last.
#pragma once
#include "EventFd.h"
#include "NotifyChannel.h"
#include "PortDevice.h"
#include "ReadThread.h"
#include "WriteThread.h"

#include <QMap>
#include <QString>

#include <cstdint>
#include <memory>

namespace quellix {

// Test seam: the step at which StartComm fails as if the system had refused it. The program never
// sets it.
enum class StartCommFault { None, StopSignal, ReadThread, WriteThread };
void SetStartCommFault(StartCommFault fault);

class TComPortPrivate {
public:
    QMap<QString, QString> devicePaths;
    int lastOpenErrno = 0;
    QString lastOpenPath;
    // Counts StartComm calls (and failed ones once more): only notifications tagged with the current
    // value are delivered.
    std::uint32_t opening = 0;

    std::unique_ptr<NotifyChannel> channel;
    // The port ("CommHandle"): the component is open exactly while it is.
    PortHandle port;
    std::unique_ptr<EventFd> stop;
    std::unique_ptr<TReadThread> readThread;
    std::unique_ptr<TWriteThread> writeThread;
};

} // namespace quellix
