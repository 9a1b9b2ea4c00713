// A serial device as a link port: the serial component TComPort with the unit's line settings (9600
// bit/s, 8N1, a 50 ms receive gap, DTR on, RTS off), held alone with flock while open. A failed open
// is told in the user's terms (permission and group, the program holding it, a missing device).
#pragma once

#include "ComPort.h"
#include "LinkPort.h"

#include <memory>

namespace quellix {

// The line settings the unit talks with, as the window's ComPort1 has them. CommPort is left as it is.
void setUnitLineSettings(TComPort& port);

class TtyLinkPort : public LinkPort {
    Q_OBJECT
public:
    // Opens `path` (as the machine names it; found below `deviceRoot`) through `component`, which
    // must outlive the port and keeps its own settings, or, when null, through one of its own with the
    // unit's line settings. `com` (1..8) names the component's CommPort; 0 leaves it.
    TtyLinkPort(TComPort* component, int com, const QString& path, const QString& deviceRoot,
                QObject* parent = nullptr);
    // Closes the port and lets go of the component's events.
    ~TtyLinkPort() override;

    bool open() override;
    void close() override;
    bool isOpen() const override;
    bool write(const char* data, std::uint16_t length) override;
    QString failureText() const override { return failure_.text; }
    OpenFailureKind failureKind() const override { return failure_.kind; }
    QString devicePath() const override { return path_; }

private:
    std::unique_ptr<TComPort> own_;
    TComPort& component_;
    int com_;
    QString path_;
    QString root_;
    OpenDiagnosis failure_;
};

} // namespace quellix
