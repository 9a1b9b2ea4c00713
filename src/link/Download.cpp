// "Read from unit" for the configuration: the download steps and the storing of their replies.
#include "DeviceLink.h"

#include <cstring>

namespace quellix {

namespace {

enum ReadSteps : int {
    VersionStep = 2,
    CalibrationStep = 3,
    Header1Step = 4,
    Header2Step = 5,
    FirstTagStep = 6,
    FirstUnitStep = 10,
    FlagsStep = 14,
    ReadDone = 15,
};

template <std::size_t Capacity> void storeText(ShortString<Capacity>& field, std::string_view content) {
    field.assign(BytesToText(content, static_cast<int>(content.size())));
}

} // namespace

void DeviceLink::Button13Click() {
    RunReadStep(SequenceEvent::Start);
}

void DeviceLink::Timer4Timer() {
    RunReadStep(SequenceEvent::Tick);
}

void DeviceLink::sendReadRequest() {
    const int step = readStep_;
    if (step == VersionStep) {
        SendCommand(Letter::VersionRequest);
    } else if (step == CalibrationStep) {
        SendCommand(Letter::CalibrationRequest);
    } else if (step == Header1Step) {
        SendParamRequest(Letter::ItemRequest, 0, CodeByte(ItemCode::Header1));
    } else if (step == Header2Step) {
        SendParamRequest(Letter::ItemRequest, 0, CodeByte(ItemCode::Header2));
    } else if (step >= FirstTagStep && step < FirstUnitStep) {
        SendParamRequest(Letter::ItemRequest, static_cast<std::uint8_t>(step - FirstTagStep),
                         CodeByte(ItemCode::TagName));
    } else if (step >= FirstUnitStep && step < FlagsStep) {
        SendParamRequest(Letter::ItemRequest, static_cast<std::uint8_t>(step - FirstUnitStep),
                         CodeByte(ItemCode::UnitName));
    } else if (step == FlagsStep) {
        SendParamRequest(Letter::ItemRequest, FlagsItemIndex, CodeByte(ItemCode::Flags));
    } else if (step == ReadDone) {
        completeSequence(readStep_, StatusLabel::Label8);
    }
}

void DeviceLink::HandleVersionReply(std::string_view frame) {
    const FrameView reply(frame);
    host_.ShowVersion(SoftwareVersionPrefix +
                      BytesToText(reply.payload(), static_cast<int>(reply.payload().size())));
}

void DeviceLink::HandleCalibrationReply(std::string_view frame) {
    // A table too short to fill the block's is not copied at all rather than in part.
    const std::string_view table = FrameView(frame).payload();
    if (table.size() < CalibrationTableSize)
        return;
    std::memcpy(block_.Calibration, table.data(), CalibrationTableSize);
    host_.BlockToWindow();
}

void DeviceLink::HandleItemReply(std::string_view frame) {
    const FrameView reply(frame);
    const std::string_view payload = reply.payload();
    if (reply.length() < 2 || payload.size() < 2)
        return;
    const auto index = static_cast<std::uint8_t>(payload[0]);
    const auto code = static_cast<std::uint8_t>(payload[1]);
    if (code < CodeByte(ItemCode::Header1) || code > CodeByte(ItemCode::Flags))
        return;
    const std::string_view content = payload.substr(2);
    switch (static_cast<ItemCode>(code)) {
    case ItemCode::Header1:
        storeText(block_.Header1, content);
        break;
    case ItemCode::Header2:
        storeText(block_.Header2, content);
        break;
    case ItemCode::TagName:
        if (index < 4)
            storeText(block_.TagName[index], content);
        break;
    case ItemCode::UnitName:
        if (index < 4)
            storeText(block_.UnitName[index], content);
        break;
    case ItemCode::Flags:
        // Raw bytes: a zero is a valid flag byte.
        if (reply.length() == 2 + FlagsItemSize && content.size() == FlagsItemSize)
            std::memcpy(block_.ChannelFlags, content.data(), FlagsItemSize);
        break;
    }
    // Redrawn also when nothing was stored.
    host_.BlockToWindow();
}

} // namespace quellix
