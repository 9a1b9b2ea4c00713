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

#include <memory>

namespace quellix {

class TComPortPrivate {
public:
    QMap<QString, QString> devicePaths;
    int lastOpenErrno = 0;
    QString lastOpenPath;

    std::unique_ptr<NotifyChannel> channel;
    // The port ("CommHandle"): the component is open exactly while it is.
    PortHandle port;
    std::unique_ptr<EventFd> stop;
    std::unique_ptr<TReadThread> readThread;
    std::unique_ptr<TWriteThread> writeThread;
};

} // namespace quellix
