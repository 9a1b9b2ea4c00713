// A unit that answers every request at once: the master of a pseudo-terminal served on a thread of its
// own, so that its replies never wait for the window's thread. It stamps each request's arrival and
// its reply, so a run can be taken apart step by step.
#pragma once

#include "BenchSupport.h"
#include "EventFd.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quellix {

class PromptPeer {
public:
    struct Exchange {
        char letter;
        bench::Clock::time_point arrived; // the request's last byte read
        bench::Clock::time_point replied; // the reply written
    };

    PromptPeer();
    ~PromptPeer();
    PromptPeer(const PromptPeer&) = delete;
    PromptPeer& operator=(const PromptPeer&) = delete;

    bool Ok() const { return master_ >= 0; }
    // The tty the tool opens.
    const std::string& Path() const { return path_; }
    // The exchanges since the last call.
    std::vector<Exchange> TakeLog();

private:
    void Serve();
    void Answer(const std::vector<std::uint8_t>& request);

    int master_ = -1;
    int slave_ = -1;
    std::string path_;
    EventFd stop_;
    std::mutex mutex_;
    std::vector<Exchange> log_;
    std::int16_t reading_ = 100; // each 'X' reply carries new readings, so the labels change
    std::thread thread_;
};

} // namespace quellix
