#include "LinkPorts.h"

#include "TtyLinkPort.h"

namespace quellix {

// Every name is a device path today; a network port will be told apart here by its scheme.
std::unique_ptr<LinkPort> createLinkPort(const LinkPortSpec& spec, QObject* parent) {
    return std::make_unique<TtyLinkPort>(spec.ttyComponent, spec.com, spec.name, spec.deviceRoot, parent);
}

} // namespace quellix
