// Owning wrappers of file descriptors: any descriptor, and an eventfd used as a level-triggered signal.
#pragma once

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { Reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int Get() const { return fd_; }
    bool IsValid() const { return fd_ >= 0; }
    int Release();
    void Reset(int fd = -1);

private:
    int fd_ = -1;
};

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
