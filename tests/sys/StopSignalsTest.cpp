#include "StopSignals.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>

namespace quellix {

namespace {

const int StopSignalNumbers[] = {SIGTERM, SIGINT, SIGHUP};

void (*Disposition(int signalNumber))(int) {
    struct sigaction now {};
    ::sigaction(signalNumber, nullptr, &now);
    return now.sa_handler;
}

TEST(StopSignals, EachSignalArrivesInTheEventLoopAndItsHandlerGoesBackAfterwards) {
    for (const int signalNumber : StopSignalNumbers) {
        SCOPED_TRACE(strsignal(signalNumber));
        ASSERT_EQ(Disposition(signalNumber), SIG_DFL);
        {
            StopSignals stop;
            ASSERT_TRUE(stop.IsActive());
            QSignalSpy received(&stop, &StopSignals::received);
            ASSERT_EQ(::raise(signalNumber), 0) << "the process goes on: the signal is caught";
            EXPECT_TRUE(received.isEmpty()) << "nothing is delivered from inside the handler";
            ASSERT_TRUE(received.wait(5000));
            EXPECT_EQ(received.takeFirst().at(0).toInt(), signalNumber);
        }
        EXPECT_EQ(Disposition(signalNumber), SIG_DFL);
    }
}

TEST(StopSignals, SignalsThatCameTogetherArriveOneByOneInOrder) {
    StopSignals stop;
    QSignalSpy received(&stop, &StopSignals::received);
    ::raise(SIGHUP);
    ::raise(SIGTERM);
    ::raise(SIGINT);
    ASSERT_TRUE(QTest::qWaitFor([&] { return received.size() == 3; }, 5000));
    EXPECT_EQ(received[0].at(0).toInt(), SIGHUP);
    EXPECT_EQ(received[1].at(0).toInt(), SIGTERM);
    EXPECT_EQ(received[2].at(0).toInt(), SIGINT);
}

TEST(StopSignals, ASignalStartedIgnoredStaysIgnored) {
    std::signal(SIGHUP, SIG_IGN);
    {
        StopSignals stop;
        QSignalSpy received(&stop, &StopSignals::received);
        EXPECT_EQ(Disposition(SIGHUP), SIG_IGN);
        EXPECT_NE(Disposition(SIGTERM), SIG_DFL);
        ::raise(SIGHUP);
        ::raise(SIGTERM);
        ASSERT_TRUE(received.wait(5000));
        QTest::qWait(50);
        ASSERT_EQ(received.size(), 1);
        EXPECT_EQ(received[0].at(0).toInt(), SIGTERM);
    }
    EXPECT_EQ(Disposition(SIGHUP), SIG_IGN);
    std::signal(SIGHUP, SIG_DFL);
}

TEST(StopSignals, OnlyOneObjectHoldsTheSignals) {
    StopSignals first;
    StopSignals second;
    EXPECT_TRUE(first.IsActive());
    EXPECT_FALSE(second.IsActive());
    QSignalSpy toFirst(&first, &StopSignals::received);
    ::raise(SIGTERM);
    EXPECT_TRUE(toFirst.wait(5000));
}

} // namespace

} // namespace quellix
