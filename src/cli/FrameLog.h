// What --verbose prints of the link: each frame sent and received in hex with a short meaning, resends
// and dropped bytes, on standard error.
#pragma once

#include "HeadlessLink.h"
#include "LinkListener.h"

#include <QString>
#include <QTextStream>

#include <string_view>

namespace quellix {

// "version request", "item reply: tag 2", "store acknowledged"; an unknown letter is named as such.
QString FrameMeaning(std::string_view frame);

class FrameLog : public LinkListener {
public:
    // Frames `link` holds back are not printed: they never reach the port.
    FrameLog(QTextStream& err, const HeadlessLink& link) : err_(err), link_(link) {}

    void FrameSent(std::string_view frame, int resend) override;
    void FrameDispatched(char letter, std::string_view frame) override;
    void Dropped(DropReason reason, std::string_view bytes) override;

private:
    QTextStream& err_;
    const HeadlessLink& link_;
};

} // namespace quellix
