// "Send to unit": the upload steps. Texts come from the window's labels at the moment each request is
// sent, a resend included; flags and calibration from the block, which the upload never changes.
#include "DeviceLink.h"
#include "StepTable.h"

#include <algorithm>

namespace quellix {

namespace {

enum class Content {
    Label,            // the text of the label named in the row
    ChannelFlags,     // the block's four flag bytes, zero bytes included
    CalibrationTable, // the block's whole calibration table
    None,
};

// One upload step: the request it sends, where its content comes from, and the acknowledgement that
// answers it. An acknowledgement stores nothing; it moves the upload on only when it is the one of the
// write pending, so that " Complete " comes only once the unit has acknowledged the store command.
struct UploadStep {
    int step;
    char request;
    std::uint8_t index; // item writes only
    ItemCode code;      // item writes only
    Content content;
    char reply;
    const char* label = nullptr;
};

constexpr UploadStep UploadSteps[] = {
    {1, Letter::ItemWrite, 0, ItemCode::TagName, Content::Label, Letter::ItemAck, "Tag_1"},
    {2, Letter::ItemWrite, 1, ItemCode::TagName, Content::Label, Letter::ItemAck, "Tag_2"},
    {3, Letter::ItemWrite, 2, ItemCode::TagName, Content::Label, Letter::ItemAck, "Tag_3"},
    {4, Letter::ItemWrite, 3, ItemCode::TagName, Content::Label, Letter::ItemAck, "Tag_4"},
    {5, Letter::ItemWrite, 0, ItemCode::UnitName, Content::Label, Letter::ItemAck, "Units_1"},
    {6, Letter::ItemWrite, 1, ItemCode::UnitName, Content::Label, Letter::ItemAck, "Units_2"},
    {7, Letter::ItemWrite, 2, ItemCode::UnitName, Content::Label, Letter::ItemAck, "Units_3"},
    {8, Letter::ItemWrite, 3, ItemCode::UnitName, Content::Label, Letter::ItemAck, "Units_4"},
    {9, Letter::ItemWrite, 0, ItemCode::Header1, Content::Label, Letter::ItemAck, "Header_1"},
    {10, Letter::ItemWrite, 0, ItemCode::Header2, Content::Label, Letter::ItemAck, "Header_2"},
    {11, Letter::ItemWrite, FlagsItemIndex, ItemCode::Flags, Content::ChannelFlags, Letter::ItemAck},
    {12, Letter::CalibrationWrite, 0, {}, Content::CalibrationTable, Letter::CalibrationAck},
    {13, Letter::Store, 0, {}, Content::None, Letter::StoreAck},
    // 14: none, the upload is complete.
};

// The step routine finds a step's row at step - 1, and completes the upload after the last row.
static_assert(NumberedInOrder(UploadSteps) && FirstStepOf(UploadSteps) == 1 && DoneStepOf(UploadSteps) == 14);

// Texts and flags go as item writes, the table as the calibration write.
constexpr bool ContentFitsRequest(const UploadStep& row) {
    switch (row.content) {
    case Content::Label:
        return row.request == Letter::ItemWrite && row.label != nullptr;
    case Content::ChannelFlags:
        return row.request == Letter::ItemWrite && row.code == ItemCode::Flags;
    case Content::CalibrationTable:
        return row.request == Letter::CalibrationWrite;
    case Content::None:
        return true;
    }
    return false;
}
static_assert(std::ranges::all_of(UploadSteps, ContentFitsRequest));
static_assert(std::ranges::all_of(UploadSteps,
                                  [](const UploadStep& row) { return AdvancesUpload(row.reply); }));

} // namespace

bool UploadStepAnswered(int step, char letter) {
    const UploadStep* row = StepRow(UploadSteps, step);
    return row != nullptr && row->reply == letter;
}

void DeviceLink::Button14Click() {
    report(RunSendStep(SequenceEvent::Start));
}

void DeviceLink::Timer1Timer() {
    report(RunSendStep(SequenceEvent::Tick));
}

DeviceLink::Report DeviceLink::RunSendStep(SequenceEvent event) {
    static constexpr Sequence upload{LinkSequence::Upload,       LinkTimer::Timer1,       StatusLabel::Label1,
                                     FirstStepOf(UploadSteps),   DoneStepOf(UploadSteps), " Sending ",
                                     &DeviceLink::sendUploadStep};
    return runStep(event, upload_, upload);
}

void DeviceLink::sendUploadStep(int step, int resend) {
    const UploadStep* found = StepRow(UploadSteps, step);
    if (found == nullptr)
        return;
    const UploadStep& row = *found;
    switch (row.content) {
    case Content::Label:
        SendTextItem(host_.LabelText(row.label), row.index, row.code, resend);
        break;
    case Content::ChannelFlags:
        SendTextItem({reinterpret_cast<const char*>(block_.ChannelFlags), FlagsItemSize}, row.index, row.code,
                     resend);
        break;
    case Content::CalibrationTable:
        SendCalibration(resend);
        break;
    case Content::None:
        SendCommand(row.request, resend);
        break;
    }
}

void DeviceLink::SendTextItem(std::string_view text, std::uint8_t index, ItemCode code, int resend) {
    SendFrame(BuildTextItem(text, index, code), resend);
}

void DeviceLink::SendCalibration(int resend) {
    SendFrame(BuildCalibrationWrite(block_), resend);
}

} // namespace quellix
