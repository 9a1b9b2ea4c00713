// "Read from unit" for the configuration: the download steps and the storing of their replies.
#include "DeviceLink.h"

#include <cstring>

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
    RunReadStep(StartEvent);
}

void DeviceLink::Timer4Timer() {
    RunReadStep(TickEvent);
}

void DeviceLink::sendReadRequest() {
    const int step = readStep_;
    if (step == VersionStep) {
        SendCommand(Letter::VersionRequest);
    } else if (step == CalibrationStep) {
        SendCommand(Letter::CalibrationRequest);
    } else if (step == Header1Step) {
        SendParamRequest(Letter::ItemRequest, 0, ItemHeader1);
    } else if (step == Header2Step) {
        SendParamRequest(Letter::ItemRequest, 0, ItemHeader2);
    } else if (step >= FirstTagStep && step < FirstUnitStep) {
        SendParamRequest(Letter::ItemRequest, static_cast<std::uint8_t>(step - FirstTagStep), ItemTagName);
    } else if (step >= FirstUnitStep && step < FlagsStep) {
        SendParamRequest(Letter::ItemRequest, static_cast<std::uint8_t>(step - FirstUnitStep), ItemUnitName);
    } else if (step == FlagsStep) {
        SendParamRequest(Letter::ItemRequest, FlagsItemIndex, ItemFlags);
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
    if (code < ItemHeader1 || code > ItemFlags)
        return;
    const std::string_view content = payload.substr(2);
    switch (code) {
    case ItemHeader1:
        storeText(block_.Header1, content);
        break;
    case ItemHeader2:
        storeText(block_.Header2, content);
        break;
    case ItemTagName:
        if (index < 4)
            storeText(block_.TagName[index], content);
        break;
    case ItemUnitName:
        if (index < 4)
            storeText(block_.UnitName[index], content);
        break;
    case ItemFlags:
        // Raw bytes: a zero is a valid flag byte.
        if (reply.length() == 2 + FlagsItemSize && content.size() == FlagsItemSize)
            std::memcpy(block_.ChannelFlags, content.data(), FlagsItemSize);
        break;
    }
    // Redrawn also when nothing was stored.
    host_.BlockToWindow();
}
