// The link driver: a queued driver sees what a held thread sees, in the same order; the designed times
// (resend 2100 ms, error 2000 ms, auto read 1000 ms, staleness 5000 ms) hold in both modes; and eight
// queued drivers in one thread each download their own unit whole.
#include "LinkDriver.h"

#include "DownloadRequests.h"
#include "LinkPort.h"
#include "PortSession.h"
#include "PtyPeer.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>

namespace quellix {

namespace {

using Mode = LinkDriver::PauseMode;

// Qt's timers count whole milliseconds from a clock read a little before the test's.
constexpr double Grain = 1;

// A port the test feeds by hand, recording what is written to it.
class HandPort : public LinkPort {
public:
    bool open() override { return true; }
    void close() override {}
    bool isOpen() const override { return true; }
    bool write(const char* data, std::uint16_t length) override {
        log->push_back("write " + Hex(Bytes(data, data + length)));
        return true;
    }
    QString failureText() const override { return {}; }
    OpenFailureKind failureKind() const override { return OpenFailureKind::Other; }
    QString devicePath() const override { return {}; }
    void feed(const Bytes& bytes) {
        Q_EMIT received(QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())));
    }
    std::vector<std::string>* log = nullptr;
};

// The listener's events as text, and when each request was handed to the port.
class Heard : public LinkListener {
public:
    explicit Heard(const QElapsedTimer& clock) : clock_(clock) {}
    void FrameSent(std::string_view frame, int resend) override {
        log.push_back("sent " + std::string(1, frame[1]) + " " + std::to_string(resend));
        sentAtMs.push_back({frame[1], clock_.nsecsElapsed() / 1e6});
    }
    void BatchReceived(std::string_view batch) override {
        log.push_back("batch " + std::to_string(batch.size()));
    }
    void ReplyStored(int step) override { log.push_back("stored " + std::to_string(step)); }
    void SequenceStep(LinkSequence, int step, StepOutcome outcome) override {
        log.push_back("step " + std::to_string(step) + " " + std::string(StepOutcomeName(outcome)));
    }
    std::vector<std::string> log;
    std::vector<std::pair<char, double>> sentAtMs;

private:
    const QElapsedTimer& clock_;
};

// A reply, an intent and a tick that reach the driver while its request waits for its pause come after
// the write, as on a held thread; an abort in the pause writes nothing.
TEST(LinkDriver, AQueuedDriverSeesWhatAHeldThreadSees) {
    std::vector<std::vector<std::string>> logs;
    for (const Mode mode : {Mode::Holding, Mode::Queued}) {
        ConfigBlock block = DefaultBlock();
        QElapsedTimer clock;
        Heard heard(clock);
        HandPort port;
        port.log = &heard.log;
        LinkDriver driver(block, mode);
        driver.setPort(&port);
        driver.addListener(heard);
        driver.startDownload();
        port.feed(Frame('V', {'2'}));
        driver.readMeasurements();
        EXPECT_TRUE(QTest::qWaitFor([&] { return heard.log.size() >= 10; }, 5000));
        logs.push_back(heard.log);
        EXPECT_EQ(driver.version(), "Software version: 2");
    }
    EXPECT_EQ(logs[1], logs[0]);
    EXPECT_EQ(logs[0],
              (std::vector<std::string>{"write 01 76 00", "sent v 0", "step 2 requested", "batch 4",
                                        "write 01 63 00", "sent c 0", "stored 2", "step 3 requested",
                                        "write 01 78 0A 07 01 00 00 00 00 00 00 00 00", "sent x 0"}));

    ConfigBlock block = DefaultBlock();
    QElapsedTimer clock;
    Heard heard(clock);
    HandPort port;
    port.log = &heard.log;
    LinkDriver driver(block, Mode::Queued);
    driver.setPort(&port);
    driver.addListener(heard);
    driver.startUpload();
    driver.abort();
    QTest::qWait(300);
    EXPECT_EQ(heard.log, (std::vector<std::string>{"step 1 aborted"}));
    EXPECT_EQ(driver.status(LinkSequence::Upload).caption, " Error ");
}

// A mute unit: the download's request goes three times and fails, the auto read asks every second,
// and the readings go stale; every time counts from the end of a pause. One driver of each mode,
// side by side in one thread: a held thread only delays the other, so the lower bounds hold for both.
TEST(LinkDriver, TheDesignedTimesHoldInBothModes) {
    struct Run {
        PtyPeer mute;
        ConfigBlock block = DefaultBlock();
        PortSession session;
        std::unique_ptr<LinkDriver> driver;
        std::unique_ptr<Heard> heard;
        double errorAtMs = -1;
        double staleAtMs = -1;
    };
    QElapsedTimer clock;
    std::vector<std::unique_ptr<Run>> runs;
    for (const Mode mode : {Mode::Queued, Mode::Holding}) {
        auto run = std::make_unique<Run>();
        ASSERT_TRUE(run->session.openDevice(run->mute.path()));
        run->driver = std::make_unique<LinkDriver>(run->block, mode);
        run->heard = std::make_unique<Heard>(clock);
        run->driver->setPort(run->session.port());
        run->driver->addListener(*run->heard);
        Run* r = run.get();
        QObject::connect(r->driver.get(), &LinkDriver::sequenceEnded, r->driver.get(),
                         [r, &clock](LinkSequence, StepOutcome outcome) {
                             if (outcome == StepOutcome::Error)
                                 r->errorAtMs = clock.nsecsElapsed() / 1e6;
                         });
        QObject::connect(r->driver.get(), &LinkDriver::readingsStale, r->driver.get(),
                         [r, &clock] { r->staleAtMs = clock.nsecsElapsed() / 1e6; });
        runs.push_back(std::move(run));
    }
    clock.start();
    for (const auto& run : runs) {
        run->driver->setAutoRead(true);
        run->driver->startReadoutTimers();
        run->driver->startDownload();
    }
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return std::all_of(runs.begin(), runs.end(), [](const auto& r) { return r->errorAtMs >= 0; });
        },
        20000));

    for (const auto& run : runs) {
        std::vector<double> v;
        std::vector<double> x;
        for (const auto& [letter, at] : run->heard->sentAtMs)
            (letter == 'v' ? v : x).push_back(at);
        ASSERT_EQ(v.size(), 3u) << "sent once and resent twice";
        EXPECT_GE(v[0], PauseBeforeSendMs - Grain);
        EXPECT_GE(v[1] - v[0], ReplyTimeoutMs + PauseBeforeSendMs - Grain);
        EXPECT_GE(v[2] - v[1], ReplyTimeoutMs + PauseBeforeSendMs - Grain);
        EXPECT_GE(run->errorAtMs - v[2], ReplyTimeoutMs - Grain);
        EXPECT_LT(run->errorAtMs - v[2], ReplyTimeoutMs + 1000);
        ASSERT_GE(x.size(), 5u);
        for (std::size_t k = 0; k < x.size(); ++k)
            EXPECT_GE(x[k], (k + 1) * AutoReadIntervalMs + PauseBeforeSendMs - Grain) << "auto read " << k;
        EXPECT_GE(run->staleAtMs, StalenessIntervalMs - Grain);
        EXPECT_EQ(run->driver->status(LinkSequence::Download).caption, " Error ");
    }
}

// Each driver reads its own unit, whole, though all eight pause in one thread at once.
TEST(LinkDriver, EightQueuedDriversInOneThreadEachReadTheirOwnUnit) {
    constexpr int Units = 8;
    struct Unit {
        PtyPeer peer;
        ConfigBlock block = DefaultBlock();
        PortSession session;
        std::unique_ptr<LinkDriver> driver;
        bool complete = false;
    };
    std::vector<std::unique_ptr<Unit>> units;
    for (int i = 0; i < Units; ++i) {
        auto unit = std::make_unique<Unit>();
        const auto mark = static_cast<std::uint8_t>('0' + i);
        unit->peer.Answer = [mark](const Bytes& request) -> std::optional<Bytes> {
            if (request[1] == 'p' && request[4] != 24)
                return Frame('P', {request[3], request[4], 'U', mark});
            return PromptUnit(request);
        };
        ASSERT_TRUE(unit->session.openDevice(unit->peer.path()));
        unit->driver = std::make_unique<LinkDriver>(unit->block, Mode::Queued);
        unit->driver->setPort(unit->session.port());
        Unit* u = unit.get();
        QObject::connect(
            u->driver.get(), &LinkDriver::sequenceEnded, u->driver.get(),
            [u](LinkSequence, StepOutcome outcome) { u->complete = outcome == StepOutcome::Complete; });
        units.push_back(std::move(unit));
    }
    for (const auto& unit : units)
        unit->driver->startDownload();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return std::all_of(units.begin(), units.end(), [](const auto& u) { return u->complete; }); },
        30000));
    for (int i = 0; i < Units; ++i) {
        const Unit& unit = *units[std::size_t(i)];
        const std::string own = "U" + std::to_string(i);
        EXPECT_EQ(unit.driver->status(LinkSequence::Download).caption, " Complete ");
        EXPECT_EQ(unit.block.Header1.text(), own);
        EXPECT_EQ(unit.block.TagName[3].text(), own);
        EXPECT_EQ(unit.block.UnitName[0].text(), own);
        std::vector<std::string> requests;
        for (const ReceivedFrame& frame : unit.peer.frames())
            requests.push_back(Hex(frame.bytes));
        EXPECT_EQ(requests, DownloadRequests) << "unit " << i;
    }
}

} // namespace

} // namespace quellix
