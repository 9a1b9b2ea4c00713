// The Link Monitor window beside the main window.
#include "Unit1.h"

#include "LinkMonitorWindow.h"

#include <algorithm>

namespace quellix {

// Made at its first opening and kept, with its entries, until the main window goes.
void TForm1::LinkMonitor1Click() {
    if (!LinkMonitor) {
        const auto flags = [this] {
            ChannelFlagBytes f{};
            std::copy(std::begin(Block.ChannelFlags), std::end(Block.ChannelFlags), f.begin());
            return f;
        };
        LinkMonitor = new TLinkMonitorWindow(
            *Dialogs, flags, [this](LinkEventSink* sink) { WatchLink(sink); }, this);
    }
    LinkMonitor->show();
    LinkMonitor->raise();
    LinkMonitor->activateWindow();
}

void TForm1::WatchLink(LinkEventSink* sink) {
    LinkWatcher = sink;
}

} // namespace quellix
