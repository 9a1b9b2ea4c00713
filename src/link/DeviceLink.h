// The link with the display unit: receive assembly and dispatch of reply frames, the measurement
// readout, and the download and upload sequences, driven by the window's events through LinkHost and
// followed by any number of LinkListeners.
#pragma once

#include "ConfigBlock.h"
#include "FrameAssembler.h"
#include "Frames.h"
#include "LinkHost.h"
#include "LinkListener.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quellix {

inline constexpr char SoftwareVersionPrefix[] = "Software version: ";

// The download step (2 to 14) whose request a reply answers: by its letter and, for an item reply, its
// item code and, for tags and units, its index; 0 for a reply that answers none of them ('T', 'X', an
// acknowledgement, an unknown item).
int DownloadStepAnswered(std::string_view frame);
// The request a download step sends; empty for a step the download does not have.
FrameBytes DownloadRequest(int step);
// Whether an acknowledgement of this letter answers upload step `step` (1 to 13): 'Q' an item write,
// 'B' the calibration write, 'S' the store command.
bool UploadStepAnswered(int step, char letter);

class DeviceLink {
public:
    DeviceLink(ConfigBlock& block, LinkHost& host) : block_(block), host_(host) {}
    DeviceLink(const DeviceLink&) = delete;
    DeviceLink& operator=(const DeviceLink&) = delete;

    // Window events.
    void ReceiveString(std::string_view batch); // ComPort1's OnReceiveString
    void Button12Click();                       // measurements "Read from unit"
    void Timer2Timer(bool autoSendChecked);     // auto read
    void Timer3Timer();                         // readings staleness
    void Button13Click();                       // configuration "Read from unit"
    void Timer4Timer();                         // download reply timer
    void Button14Click();                       // "Send to unit"
    void Timer1Timer();                         // upload reply timer

    // Ends a running download and upload as if their retries had run out: " Error ", step 0, reply
    // timer stopped. For a port that has gone away.
    void AbortSequences();

    // The listener follows the link until it is removed; adding it twice counts once.
    void AddListener(LinkListener& listener);
    void RemoveListener(LinkListener& listener);

private:
    struct SequenceState {
        int step = 0;    // 0 = not running
        int resends = 0; // of the current step, for listeners only
    };
    // What tells the two sequences apart in the step routine they share.
    struct Sequence {
        LinkSequence id;
        LinkTimer timer;
        StatusLabel label;
        int firstStep;
        int doneStep; // the step after the last request: the sequence is complete
        const char* runningCaption;
        void (DeviceLink::*send)(int step, int resend);
    };
    struct StepReport {
        LinkSequence sequence;
        int step;
        StepOutcome outcome;
    };
    using Report = std::optional<StepReport>;

    // Receive assembly and its two-stage dispatch (RxAssembly.cpp).
    void dispatch(std::string_view frame);
    // `answers`: the download step the reply answers (DownloadStepAnswered).
    Report advanceSequences(std::string_view frame, int answers);
    // True when the reply stored what it carries.
    bool storeReply(std::string_view frame);

    // The step routines; what they report is told once the event that ran them is handled.
    Report RunReadStep(SequenceEvent event);
    Report RunSendStep(SequenceEvent event);
    Report runStep(SequenceEvent event, SequenceState& state, const Sequence& sequence);
    void sendDownloadStep(int step, int resend);
    void sendUploadStep(int step, int resend);
    void report(const Report& step);

    // Reply handlers; each takes one whole frame, SOH at offset 0, and tells whether it stored it.
    bool HandleMeasurementReply(std::string_view frame);
    bool HandleCalibrationReply(std::string_view frame);
    bool HandleItemReply(std::string_view frame);
    bool HandleVersionReply(std::string_view frame);

    // Requests: each pauses PauseBeforeSendMs, then hands the bytes to the port and returns its result.
    bool SendFrame(FrameBytes frame, int resend = 0);
    bool SendCommand(char letter, int resend = 0);
    bool SendParamRequest(char letter, std::uint8_t p0, std::uint8_t p1, int resend = 0);
    void SendTextItem(std::string_view text, std::uint8_t index, ItemCode code, int resend);
    void SendCalibration(int resend);

    // Calls each listener present when the event began; removals meanwhile leave a hole, closed after.
    template <class Event> void notify(const Event& event) {
        if (listeners_.empty())
            return;
        notifyEach(event);
    }
    template <class Event> void notifyEach(const Event& event);

    ConfigBlock& block_;
    LinkHost& host_;
    FrameAssembler rx_;
    SequenceState download_;
    SequenceState upload_;
    int retriesLeft_ = 0; // shared by both sequences
    std::vector<LinkListener*> listeners_;
    int notifying_ = 0;
};

template <class Event> void DeviceLink::notifyEach(const Event& event) {
    struct Depth {
        explicit Depth(DeviceLink& link) : link(link) { ++link.notifying_; }
        ~Depth() {
            if (--link.notifying_ == 0)
                std::erase(link.listeners_, nullptr);
        }
        DeviceLink& link;
    } depth(*this);
    const std::size_t count = listeners_.size();
    for (std::size_t i = 0; i < count; ++i)
        if (LinkListener* listener = listeners_[i])
            event(*listener);
}

} // namespace quellix
