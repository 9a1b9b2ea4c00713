// The link with the display unit: receive assembly and dispatch of reply frames, the measurement
// readout, and the download and upload sequences, driven by its host's events through LinkHost and
// followed by any number of LinkListeners.
#pragma once

#include "ConfigBlock.h"
#include "FrameAssembler.h"
#include "Frames.h"
#include "LinkHost.h"
#include "LinkListener.h"
#include "LinkListeners.h"

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
int downloadStepAnswered(std::string_view frame);
// The request a download step sends; empty for a step the download does not have.
FrameBytes downloadRequest(int step);
// Whether an acknowledgement of this letter answers upload step `step` (1 to 13): 'Q' an item write,
// 'B' the calibration write, 'S' the store command.
bool uploadStepAnswered(int step, char letter);

class DeviceLink {
public:
    DeviceLink(ConfigBlock& block, LinkHost& host) : block_(block), host_(host) {}
    DeviceLink(const DeviceLink&) = delete;
    DeviceLink& operator=(const DeviceLink&) = delete;

    // A batch of received bytes as the port delivered it.
    void receive(std::string_view batch);
    // The long measurement request, once.
    void readMeasurements();
    // The auto read's tick: the short measurement request when `autoRead` and no upload runs.
    void autoReadTick(bool autoRead);
    // No measurement reply since the staleness timer started: every reading is NoValue.
    void stalenessTimeout();
    // Starts the configuration download (again, from its first step, when one runs).
    void startDownload();
    void downloadTimeout();
    // Starts the configuration upload (again, from its first step, when one runs).
    void startUpload();
    void uploadTimeout();

    // Ends a running download and upload as if their retries had run out: " Error ", step 0, reply
    // timer stopped; listeners hear Aborted.
    void abortSequences();

    // The listener follows the link until it is removed; adding it twice counts once.
    void addListener(LinkListener& listener) { listeners_.add(listener); }
    void removeListener(LinkListener& listener) { listeners_.remove(listener); }

private:
    struct SequenceState {
        int step = 0;    // 0 = not running
        int resends = 0; // of the current step, for listeners only
    };
    // What tells the two sequences apart in the step routine they share.
    struct Sequence {
        LinkSequence id;
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
    // `answers`: the download step the reply answers (downloadStepAnswered).
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
    bool handleMeasurementReply(std::string_view frame);
    bool HandleCalibrationReply(std::string_view frame);
    bool HandleItemReply(std::string_view frame);
    bool handleVersionReply(std::string_view frame);

    // Requests: each pauses PauseBeforeSendMs, then hands the bytes to the host and returns its result.
    bool SendFrame(FrameBytes frame, int resend = 0);
    bool SendCommand(char letter, int resend = 0);
    bool SendParamRequest(char letter, std::uint8_t p0, std::uint8_t p1, int resend = 0);
    void SendTextItem(std::string_view text, std::uint8_t index, ItemCode code, int resend);
    void SendCalibration(int resend);

    template <class Event> void notify(const Event& event) { listeners_.notify(event); }

    ConfigBlock& block_;
    LinkHost& host_;
    FrameAssembler rx_;
    SequenceState download_;
    SequenceState upload_;
    int retriesLeft_ = 0; // shared by both sequences
    LinkListeners listeners_;
};

} // namespace quellix
