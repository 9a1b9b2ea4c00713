// The Link Monitor window beside the main window.
#include "Unit1.h"

#include "LinkMonitorWindow.h"
#include "ToolWindows.h"

namespace quellix {

void TForm1::LinkMonitorDeleter::operator()(TLinkMonitorWindow* monitor) const {
    delete monitor;
}

// Made at its first opening and kept, with its entries, until the main window goes.
void TForm1::LinkMonitor1Click() {
    if (!LinkMonitor) {
        LinkMonitor.reset(new TLinkMonitorWindow(
            *Dialogs, [this] { return ChannelFlagBytes(Block.ChannelFlags); },
            [this](LinkListener& monitor, bool watching) {
                if (watching)
                    addLinkListener(monitor);
                else
                    removeLinkListener(monitor);
            },
            this));
    }
    ShowToolWindow(LinkMonitor.get(), this);
}

} // namespace quellix
