// "Read from unit" for the configuration: the download steps and the storing of their replies.
#include "DeviceLink.h"
#include "StepTable.h"

#include <algorithm>
#include <cstring>

namespace quellix {

namespace {

// One download step: the request it sends and the reply the unit answers it with. What a reply stores
// follows from its own letter and, for 'P', its own item code and index, whichever step is pending; it
// moves the download on only when it answers the step pending, so that a second answer to a request
// sent again cannot pass over a step whose own reply has not come.
struct DownloadStep {
    int step;
    char request;
    std::uint8_t index; // item requests only
    ItemCode code;      // item requests only
    char reply;
};

constexpr DownloadStep DownloadSteps[] = {
    {2, Letter::VersionRequest, 0, {}, Letter::Version},                      // swVersion's caption
    {3, Letter::CalibrationRequest, 0, {}, Letter::Calibration},              // Calibration[1..4]
    {4, Letter::ItemRequest, 0, ItemCode::Header1, Letter::Item},             // Header1
    {5, Letter::ItemRequest, 0, ItemCode::Header2, Letter::Item},             // Header2
    {6, Letter::ItemRequest, 0, ItemCode::TagName, Letter::Item},             // TagName[1]
    {7, Letter::ItemRequest, 1, ItemCode::TagName, Letter::Item},             // TagName[2]
    {8, Letter::ItemRequest, 2, ItemCode::TagName, Letter::Item},             // TagName[3]
    {9, Letter::ItemRequest, 3, ItemCode::TagName, Letter::Item},             // TagName[4]
    {10, Letter::ItemRequest, 0, ItemCode::UnitName, Letter::Item},           // UnitName[1]
    {11, Letter::ItemRequest, 1, ItemCode::UnitName, Letter::Item},           // UnitName[2]
    {12, Letter::ItemRequest, 2, ItemCode::UnitName, Letter::Item},           // UnitName[3]
    {13, Letter::ItemRequest, 3, ItemCode::UnitName, Letter::Item},           // UnitName[4]
    {14, Letter::ItemRequest, FlagsItemIndex, ItemCode::Flags, Letter::Item}, // ChannelFlags[1..4]
    // 15: none, the download is complete.
};

// The step routine finds a step's row at step - 2, and completes the download after the last row.
static_assert(NumberedInOrder(DownloadSteps) && FirstStepOf(DownloadSteps) == 2 &&
              DoneStepOf(DownloadSteps) == 15);
static_assert(std::ranges::all_of(DownloadSteps,
                                  [](const DownloadStep& row) { return AdvancesDownload(row.reply); }));

template <std::size_t Capacity> void storeText(ShortString<Capacity>& field, std::string_view content) {
    field.assign(BytesToText(content, static_cast<int>(content.size())));
}

// The index tells tags and units apart; the headers' and the flags' index is not examined in replies.
bool sameItem(const DownloadStep& row, std::uint8_t index, std::uint8_t code) {
    if (code != CodeByte(row.code))
        return false;
    return (row.code != ItemCode::TagName && row.code != ItemCode::UnitName) || index == row.index;
}

} // namespace

int downloadStepAnswered(std::string_view frame) {
    const FrameView reply(frame);
    const std::string_view payload = reply.payload();
    for (const DownloadStep& row : DownloadSteps) {
        if (reply.letter() != row.reply)
            continue;
        if (row.reply != Letter::Item)
            return row.step;
        if (payload.size() >= 2 &&
            sameItem(row, static_cast<std::uint8_t>(payload[0]), static_cast<std::uint8_t>(payload[1])))
            return row.step;
    }
    return 0;
}

FrameBytes downloadRequest(int step) {
    const DownloadStep* row = StepRow(DownloadSteps, step);
    if (row == nullptr)
        return {};
    if (row->request == Letter::ItemRequest)
        return BuildParamRequest(row->request, row->index, CodeByte(row->code));
    return BuildCommand(row->request);
}

void DeviceLink::startDownload() {
    report(RunReadStep(SequenceEvent::Start));
}

void DeviceLink::downloadTimeout() {
    report(RunReadStep(SequenceEvent::Tick));
}

DeviceLink::Report DeviceLink::RunReadStep(SequenceEvent event) {
    static constexpr Sequence download{LinkSequence::Download, FirstStepOf(DownloadSteps),
                                       DoneStepOf(DownloadSteps), " Receiving ",
                                       &DeviceLink::sendDownloadStep};
    return runStep(event, download_, download);
}

void DeviceLink::sendDownloadStep(int step, int resend) {
    const FrameBytes request = downloadRequest(step);
    if (!request.empty())
        SendFrame(request, resend);
}

bool DeviceLink::handleVersionReply(std::string_view frame) {
    const FrameView reply(frame);
    host_.showVersion(SoftwareVersionPrefix +
                      BytesToText(reply.payload(), static_cast<int>(reply.payload().size())));
    return true;
}

bool DeviceLink::HandleCalibrationReply(std::string_view frame) {
    // A table too short to fill the block's is not copied at all rather than in part.
    const std::string_view table = FrameView(frame).payload();
    if (table.size() < CalibrationTableSize) {
        notify([&](LinkListener& l) { l.Dropped(DropReason::ReplyTooShort, frame); });
        return false;
    }
    std::memcpy(block_.Calibration, table.data(), CalibrationTableSize);
    host_.blockStored();
    return true;
}

bool DeviceLink::HandleItemReply(std::string_view frame) {
    const FrameView reply(frame);
    const std::string_view payload = reply.payload();
    if (reply.length() < 2 || payload.size() < 2) {
        notify([&](LinkListener& l) { l.Dropped(DropReason::ReplyTooShort, frame); });
        return false;
    }
    const auto index = static_cast<std::uint8_t>(payload[0]);
    const auto code = static_cast<std::uint8_t>(payload[1]);
    if (code < CodeByte(ItemCode::Header1) || code > CodeByte(ItemCode::Flags))
        return false;
    const std::string_view content = payload.substr(2);
    bool stored = true;
    switch (static_cast<ItemCode>(code)) {
    case ItemCode::Header1:
        storeText(block_.Header1, content);
        break;
    case ItemCode::Header2:
        storeText(block_.Header2, content);
        break;
    case ItemCode::TagName:
        stored = index < ChannelCount;
        if (stored)
            storeText(block_.TagName[index], content);
        break;
    case ItemCode::UnitName:
        stored = index < ChannelCount;
        if (stored)
            storeText(block_.UnitName[index], content);
        break;
    case ItemCode::Flags:
        // Raw bytes: a zero is a valid flag byte.
        stored = reply.length() == 2 + FlagsItemSize && content.size() == FlagsItemSize;
        if (stored)
            std::memcpy(block_.ChannelFlags, content.data(), FlagsItemSize);
        break;
    }
    // Redrawn also when nothing was stored.
    host_.blockStored();
    return stored;
}

} // namespace quellix
