// "Send to unit": the upload steps. Texts come from the window's labels at the moment each request is
// sent; flags and calibration from the block, which the upload never changes.
#include "DeviceLink.h"

namespace {

enum SendSteps : int {
    FirstTagStep = 1,
    FirstUnitStep = 5,
    Header1Step = 9,
    Header2Step = 10,
    FlagsStep = 11,
    CalibrationStep = 12,
    StoreStep = 13,
    SendDone = 14,
};

} // namespace

void DeviceLink::Button14Click() {
    RunSendStep(StartEvent);
}

void DeviceLink::Timer1Timer() {
    RunSendStep(TickEvent);
}

void DeviceLink::SendTextItem(std::string_view text, std::uint8_t index, std::uint8_t code) {
    SendFrame(BuildTextItem(text, index, code));
}

void DeviceLink::SendCalibration() {
    SendFrame(BuildCalibrationWrite(block_));
}

void DeviceLink::sendLabelText(const std::string& objectName, std::uint8_t index, std::uint8_t code) {
    SendTextItem(host_.LabelText(objectName), index, code);
}

void DeviceLink::sendUploadRequest() {
    const int step = sendStep_;
    if (step >= FirstTagStep && step < FirstUnitStep) {
        const int i = step - FirstTagStep;
        sendLabelText("Tag_" + std::to_string(i + 1), static_cast<std::uint8_t>(i), ItemTagName);
    } else if (step >= FirstUnitStep && step < Header1Step) {
        const int i = step - FirstUnitStep;
        sendLabelText("Units_" + std::to_string(i + 1), static_cast<std::uint8_t>(i), ItemUnitName);
    } else if (step == Header1Step) {
        sendLabelText("Header_1", 0, ItemHeader1);
    } else if (step == Header2Step) {
        sendLabelText("Header_2", 0, ItemHeader2);
    } else if (step == FlagsStep) {
        SendFrame(BuildFlagsItem(block_));
    } else if (step == CalibrationStep) {
        SendCalibration();
    } else if (step == StoreStep) {
        SendCommand(Letter::Store);
    } else if (step == SendDone) {
        completeSequence(sendStep_, StatusLabel::Label1);
    }
}
