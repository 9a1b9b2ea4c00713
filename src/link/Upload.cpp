// "Send to unit": the upload steps. Texts come from the window's labels at the moment each request is
// sent; flags and calibration from the block, which the upload never changes.
#include "DeviceLink.h"

namespace quellix {

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
    RunSendStep(SequenceEvent::Start);
}

void DeviceLink::Timer1Timer() {
    RunSendStep(SequenceEvent::Tick);
}

void DeviceLink::SendTextItem(std::string_view text, std::uint8_t index, ItemCode code) {
    SendFrame(BuildTextItem(text, index, code));
}

void DeviceLink::SendCalibration() {
    SendFrame(BuildCalibrationWrite(block_));
}

void DeviceLink::sendLabelText(const std::string& objectName, std::uint8_t index, ItemCode code) {
    SendTextItem(host_.LabelText(objectName), index, code);
}

void DeviceLink::sendUploadRequest() {
    const int step = sendStep_;
    if (step >= FirstTagStep && step < FirstUnitStep) {
        const int i = step - FirstTagStep;
        sendLabelText("Tag_" + std::to_string(i + 1), static_cast<std::uint8_t>(i), ItemCode::TagName);
    } else if (step >= FirstUnitStep && step < Header1Step) {
        const int i = step - FirstUnitStep;
        sendLabelText("Units_" + std::to_string(i + 1), static_cast<std::uint8_t>(i), ItemCode::UnitName);
    } else if (step == Header1Step) {
        sendLabelText("Header_1", 0, ItemCode::Header1);
    } else if (step == Header2Step) {
        sendLabelText("Header_2", 0, ItemCode::Header2);
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

} // namespace quellix
