// What this process holds now, to show that something let go of all it took: open descriptors and
// threads, as /proc tells them.
#pragma once

#include <chrono>
#include <filesystem>
#include <iterator>
#include <thread>

namespace quellix {

// The directory's own descriptor while it is read counts too, the same at every call.
inline long OpenFdCount() {
    const std::filesystem::directory_iterator fds("/proc/self/fd");
    return std::distance(begin(fds), end(fds));
}

// ThreadSanitizer starts a helper thread of its own along with the first thread the program creates:
// one thread started and joined before the first count keeps it out of every difference.
inline long ThreadCount() {
    static const bool settled = [] {
        std::thread([] {}).join();
        return true;
    }();
    (void)settled;
    const std::filesystem::directory_iterator tasks("/proc/self/task");
    return std::distance(begin(tasks), end(tasks));
}

// Waits, without running the event loop, until at most `count` threads are left: a test that must keep
// posted notifications undelivered meanwhile cannot use QTest::qWaitFor. False after the generous bound.
inline bool WaitForThreadsAtMost(long count, std::chrono::milliseconds bound = std::chrono::seconds(20)) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (ThreadCount() > count) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

} // namespace quellix
