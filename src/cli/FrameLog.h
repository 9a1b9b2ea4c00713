// What --verbose prints of the link: each frame sent and received in hex with its meaning in the Link
// Monitor's words, resends and dropped bytes, on standard error.
#pragma once

#include "ConfigBlock.h"
#include "LinkListener.h"

#include <QTextStream>

#include <string_view>

namespace quellix {

class FrameLog : public LinkListener {
public:
    // Displayed values take their decimals from `block`'s channel flags as they stand. A frame is told
    // once written: one the driver drops in its pause never shows.
    FrameLog(QTextStream& err, const ConfigBlock& block) : err_(err), block_(block) {}

    void FrameSent(std::string_view frame, int resend) override;
    void FrameDispatched(char letter, std::string_view frame) override;
    void LateReply(LinkSequence sequence, std::string_view frame) override;
    void Dropped(DropReason reason, std::string_view bytes) override;

private:
    QTextStream& err_;
    const ConfigBlock& block_;
};

} // namespace quellix
