#include "LinkPorts.h"

#include "NetAddress.h"
#include "NetLinkPort.h"
#include "TtyLinkPort.h"

namespace quellix {

// A name with a scheme is a network port; every other name is a device path.
std::unique_ptr<LinkPort> createLinkPort(const LinkPortSpec& spec, QObject* parent) {
    if (IsNetPortName(spec.name))
        return std::make_unique<NetLinkPort>(spec.name, parent);
    return std::make_unique<TtyLinkPort>(spec.ttyComponent, spec.com, spec.name, spec.deviceRoot, parent);
}

} // namespace quellix
