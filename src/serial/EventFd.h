// An owned eventfd used as a level-triggered signal.
#pragma once

#include "UniqueFd.h"

namespace quellix {

// An eventfd that stays readable once signalled until cleared: the stop signal that both workers poll
// and nobody reads, and the transmit worker's wake-up for queued requests.
class EventFd {
public:
    // Invalid when the system refuses one; Error() then tells why.
    EventFd();

    bool IsValid() const { return fd_.IsValid(); }
    // errno of a failed creation, 0 after success.
    int Error() const { return error_; }
    int Fd() const { return fd_.Get(); }
    void Signal() const;
    // True when signalled, checked without waiting.
    bool IsSignalled() const;
    // Makes it unsignalled again.
    void Clear() const;

private:
    UniqueFd fd_;
    int error_ = 0;
};

} // namespace quellix
