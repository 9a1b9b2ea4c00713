// The channel from the workers to the owner's thread: order, and room for the owner's other events.
#include "NotifyChannel.h"
#include "SerialTestSupport.h"

#include <QTimer>
#include <QtCore/qtestsupport_core.h>

#include <gtest/gtest.h>

#include <chrono>
#include <numeric>
#include <thread>
#include <vector>

namespace quellix {

namespace {

Notification Numbered(int n) {
    return Notification{Notification::Kind::Data, static_cast<std::uint16_t>(n), {}};
}

TEST(NotifyChannelTest, ABacklogArrivesInOrderWithoutStarvingTheOwnersTimers) {
    // Ten handler slices' worth of notifications, queued before the owner's loop runs, as a flood of
    // received batches leaves them while the owner is busy.
    const int count = 10 * static_cast<int>(NotifyChannel::DrainSlice.count());
    std::vector<int> handled;
    NotifyChannel channel([&](const Notification& n) {
        handled.push_back(n.value);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    std::thread worker([&] {
        for (int n = 0; n < count; ++n)
            channel.Post(Numbered(n));
    });
    worker.join();

    std::size_t handledWhenTimerFired = 0;
    bool timerFired = false;
    QTimer ownersTimer;
    ownersTimer.setSingleShot(true);
    QObject::connect(&ownersTimer, &QTimer::timeout, &ownersTimer, [&] {
        timerFired = true;
        handledWhenTimerFired = handled.size();
    });
    ownersTimer.start(5);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return timerFired && handled.size() == static_cast<std::size_t>(count); }, WaitMs));

    std::vector<int> expected(count);
    std::iota(expected.begin(), expected.end(), 0);
    EXPECT_EQ(handled, expected);
    ASSERT_TRUE(timerFired);
    EXPECT_LT(handledWhenTimerFired, handled.size()) << "the timer waited for the whole backlog";
}

} // namespace

} // namespace quellix
