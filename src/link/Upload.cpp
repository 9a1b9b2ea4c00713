// "Send to unit": the upload steps. Texts come from the host at the moment each request is sent, a
// resend included (the window's labels); flags and calibration from the block, which the upload never
// changes.
#include "DeviceLink.h"
#include "StepTable.h"

#include <algorithm>

namespace quellix {

namespace {

enum class Content {
    Text,             // the host's text of the row's item
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
};

constexpr UploadStep UploadSteps[] = {
    {1, Letter::ItemWrite, 0, ItemCode::TagName, Content::Text, Letter::ItemAck},
    {2, Letter::ItemWrite, 1, ItemCode::TagName, Content::Text, Letter::ItemAck},
    {3, Letter::ItemWrite, 2, ItemCode::TagName, Content::Text, Letter::ItemAck},
    {4, Letter::ItemWrite, 3, ItemCode::TagName, Content::Text, Letter::ItemAck},
    {5, Letter::ItemWrite, 0, ItemCode::UnitName, Content::Text, Letter::ItemAck},
    {6, Letter::ItemWrite, 1, ItemCode::UnitName, Content::Text, Letter::ItemAck},
    {7, Letter::ItemWrite, 2, ItemCode::UnitName, Content::Text, Letter::ItemAck},
    {8, Letter::ItemWrite, 3, ItemCode::UnitName, Content::Text, Letter::ItemAck},
    {9, Letter::ItemWrite, 0, ItemCode::Header1, Content::Text, Letter::ItemAck},
    {10, Letter::ItemWrite, 0, ItemCode::Header2, Content::Text, Letter::ItemAck},
    {11, Letter::ItemWrite, FlagsItemIndex, ItemCode::Flags, Content::ChannelFlags, Letter::ItemAck},
    {12, Letter::CalibrationWrite, 0, {}, Content::CalibrationTable, Letter::CalibrationAck},
    {13, Letter::Store, 0, {}, Content::None, Letter::StoreAck},
    // 14: none, the upload is complete.
};

// The step routine finds a step's row at step - 1, and completes the upload after the last row.
static_assert(NumberedInOrder(UploadSteps) && FirstStepOf(UploadSteps) == 1 && DoneStepOf(UploadSteps) == 14);

// Texts and flags go as item writes, the table as the calibration write.
constexpr bool contentFitsRequest(const UploadStep& row) {
    switch (row.content) {
    case Content::Text:
        return row.request == Letter::ItemWrite && row.code != ItemCode::Flags;
    case Content::ChannelFlags:
        return row.request == Letter::ItemWrite && row.code == ItemCode::Flags;
    case Content::CalibrationTable:
        return row.request == Letter::CalibrationWrite;
    case Content::None:
        return true;
    }
    return false;
}
static_assert(std::ranges::all_of(UploadSteps, contentFitsRequest));
static_assert(std::ranges::all_of(UploadSteps,
                                  [](const UploadStep& row) { return AdvancesUpload(row.reply); }));

} // namespace

bool uploadStepAnswered(int step, char letter) {
    const UploadStep* row = StepRow(UploadSteps, step);
    return row != nullptr && row->reply == letter;
}

void DeviceLink::startUpload() {
    report(RunSendStep(SequenceEvent::Start));
}

void DeviceLink::uploadTimeout() {
    report(RunSendStep(SequenceEvent::Tick));
}

DeviceLink::Report DeviceLink::RunSendStep(SequenceEvent event) {
    static constexpr Sequence upload{LinkSequence::Upload, FirstStepOf(UploadSteps), DoneStepOf(UploadSteps),
                                     " Sending ", &DeviceLink::sendUploadStep};
    return runStep(event, upload_, upload);
}

void DeviceLink::sendUploadStep(int step, int resend) {
    const UploadStep* found = StepRow(UploadSteps, step);
    if (found == nullptr)
        return;
    const UploadStep& row = *found;
    switch (row.content) {
    case Content::Text:
        SendTextItem(host_.uploadText(row.code, row.index), row.index, row.code, resend);
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
