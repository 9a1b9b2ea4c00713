// The link with the display unit: receive assembly and dispatch of reply frames, the measurement
// readout, and the download and upload sequences, driven by the window's events through LinkHost.
#pragma once

#include "ConfigBlock.h"
#include "Frames.h"
#include "LinkHost.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace quellix {

inline constexpr char SoftwareVersionPrefix[] = "Software version: ";

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

    // The sequences' step routines.
    void RunReadStep(SequenceEvent event);
    void RunSendStep(SequenceEvent event);

    // Reply handlers; each takes one whole frame, SOH at offset 0.
    void HandleMeasurementReply(std::string_view frame);
    void HandleCalibrationReply(std::string_view frame);
    void HandleItemReply(std::string_view frame);
    void HandleVersionReply(std::string_view frame);

    // Requests: each pauses PauseBeforeSendMs, then hands the bytes to the port and returns its result.
    bool SendFrame(const FrameBytes& frame);
    bool SendCommand(char letter);
    bool SendParamRequest(char letter, std::uint8_t p0, std::uint8_t p1, std::int16_t w0 = 0,
                          std::int16_t w1 = 0, std::int16_t w2 = 0, std::int16_t w3 = 0);
    void SendTextItem(std::string_view text, std::uint8_t index, ItemCode code);
    void SendCalibration();

    const std::string& RxBuffer() const { return rxBuffer_; }
    int SendStep() const { return sendStep_; }
    int ReadStep() const { return readStep_; }
    int RetriesLeft() const { return retriesLeft_; }

private:
    void dispatch(std::string_view frame);
    void advanceSequences(char letter);
    void storeReply(std::string_view frame);
    struct Sequence;
    // The step routine both sequences share; act sends the step's request or completes the sequence.
    void runStep(SequenceEvent event, int& step, const Sequence& sequence, void (DeviceLink::*act)());
    void sendReadRequest();
    void sendUploadRequest();
    void completeSequence(int& step, StatusLabel label);
    void sendLabelText(const std::string& objectName, std::uint8_t index, ItemCode code);

    ConfigBlock& block_;
    LinkHost& host_;
    std::string rxBuffer_;
    int sendStep_ = 0;    // upload step, 0 = no upload
    int readStep_ = 0;    // download step, 0 = no download
    int retriesLeft_ = 0; // shared by both sequences
};

} // namespace quellix
