#include "LinkPorts.h"

#include "NetAddress.h"
#include "NetLinkPort.h"
#include "TtyLinkPort.h"

namespace quellix {

// A name with a scheme is a network port; every other name is a device path.
std::unique_ptr<LinkPort> createLinkPort(const LinkPortRequest& request, QObject* parent) {
    if (IsNetPortName(request.name))
        return std::make_unique<NetLinkPort>(request.name, parent);
    return std::make_unique<TtyLinkPort>(request.ttyComponent, request.com, request.name, request.deviceRoot,
                                         parent);
}

} // namespace quellix
