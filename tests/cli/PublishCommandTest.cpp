// quellix-cli publish as the service runs it: the real executable, quellix-sim units on
// pseudo-terminals and a real mosquitto broker, seen by a subscriber. One run per path, several
// assertions each: units going silent and back, the broker away and back, SIGTERM, and kill -9.
#include "BlockImages.h"
#include "MosquittoBroker.h"
#include "SimProcess.h"

#include <QDateTime>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace quellix {

namespace {

ConfigBlock Plant() {
    ConfigBlock b = DefaultBlock();
    b.TagName[0].assign("Boiler Flow");
    b.UnitName[0].assign("m3/h");
    b.ChannelFlags[0] = 1;
    b.ChannelFlags[3] = 0x41; // disabled
    return b;
}

// A simulated unit whose answers can be stopped and started, with every frame logged.
struct Unit {
    Unit(const TempDir& dir, const QString& name, const QStringList& faults = {})
        : control(dir.file(name + ".control")),
          sim(QStringList{"--log", "--state", dir.write(name + ".qlx", BlockImage(Plant())), "--control",
                          control} +
                  faults,
              SimProcess::Port::LeaveClosed) {}
    void say(const QByteArray& command) const {
        QFile fifo(control);
        ASSERT_TRUE(fifo.open(QIODevice::WriteOnly));
        fifo.write(command + '\n');
    }
    // Measurement replies the unit sent.
    qsizetype replies() const { return sim.errorOutput().count(" out 01 58"); }
    qsizetype versionRequests() const { return sim.errorOutput().count(" in  01 76 00"); }

    QString control;
    SimProcess sim;
};

struct State {
    std::int64_t time;
    bool stale;
};

// The states of a unit in the order they arrived, each reading once (QoS 1 may bring one twice).
std::vector<State> States(const TestSubscriber& sub, const QString& unit) {
    std::vector<State> states;
    for (const QByteArray& payload : sub.payloads("quellix/" + unit + "/state")) {
        const QJsonObject o = QJsonDocument::fromJson(payload).object();
        const State s{QDateTime::fromString(o["time"].toString(), Qt::ISODateWithMs).toMSecsSinceEpoch(),
                      o["stale"].toBool()};
        if (std::none_of(states.begin(), states.end(), [&](const State& x) { return x.time == s.time; }))
            states.push_back(s);
    }
    return states;
}

qsizetype Fresh(const std::vector<State>& states) {
    return std::count_if(states.begin(), states.end(), [](const State& s) { return !s.stale; });
}

// Each reading after the one before it.
bool InOrder(const std::vector<State>& states) {
    return std::adjacent_find(states.begin(), states.end(), [](const State& a, const State& b) {
               return a.time >= b.time;
           }) == states.end();
}

class PublishCommandTest : public testing::Test {
protected:
    void SetUp() override {
        // The queues go where the service's would.
        qputenv("STATE_DIRECTORY", dir.file("queues").toUtf8());
        ASSERT_TRUE(broker.start()) << broker.output().toStdString();
    }
    std::unique_ptr<ChildProcess> publish(const QStringList& args) const {
        return std::make_unique<ChildProcess>(
            QUELLIX_CLI_PATH,
            QStringList{"publish", "--broker", QString("mqtt://127.0.0.1:%1").arg(broker.port())} + args,
            dir.file("publish.log"));
    }
    std::string log() const { return TempDir::read(dir.file("publish.log")).toStdString(); }

    TempDir dir;
    MosquittoBroker broker{dir};
};

} // namespace

TEST_F(PublishCommandTest, UnitsThroughSilenceAMissingItemAndABrokerOutageLoseNoReading) {
    TestSubscriber sub(dir, broker);
    std::vector<std::unique_ptr<Unit>> units;
    QByteArray inventory = "name,port,config\n";
    // Unit d moves every download on with 'T' in place of an item, which must not pass for its names.
    for (const QString name : {"a", "b", "c", "d"}) {
        units.push_back(std::make_unique<Unit>(
            dir, name, name == "d" ? QStringList{"--advance-every", "10"} : QStringList{}));
        ASSERT_TRUE(units.back()->sim.started());
        inventory += QString("%1,%2,%1.qlx\n").arg(name, units.back()->sim.path()).toUtf8();
    }
    auto publisher = publish({"--inventory", dir.write("units.csv", inventory)});
    for (const QString name : {"a", "b", "c"})
        ASSERT_TRUE(QTest::qWaitFor([&] { return Fresh(States(sub, name)) >= 2; }, 15000)) << log();

    // Discovery from the downloaded configuration: names and units, the disabled channel removed.
    const QJsonObject config =
        QJsonDocument::fromJson(sub.payloads("homeassistant/sensor/quellix_a_ch1/config").front()).object();
    EXPECT_EQ(config["name"].toString(), "Boiler Flow");
    EXPECT_EQ(config["unit_of_measurement"].toString(), "m3/h");
    EXPECT_EQ(config["device"].toObject()["sw_version"].toString(), "QX-4 V2.10");
    EXPECT_EQ(sub.payloads("homeassistant/sensor/quellix_a_ch4/config"), std::vector<QByteArray>{""});
    EXPECT_TRUE(sub.payloads("homeassistant/sensor/quellix_d_ch1/config").empty());

    // Unit a falls silent: stale and offline after 5 s; answering again, online with a new download.
    units[0]->say("mute on");
    ASSERT_TRUE(sub.waitForCount("quellix/a/availability", 2));
    EXPECT_EQ(sub.payloads("quellix/a/availability"), (std::vector<QByteArray>{"online", "offline"}));
    units[0]->say("mute off");
    ASSERT_TRUE(sub.waitForCount("quellix/a/availability", 3));
    EXPECT_TRUE(QTest::qWaitFor([&] { return units[0]->versionRequests() == 2; }, 5000));

    // The broker away for a few seconds while readings go on.
    broker.stop();
    QTest::qWait(3000);
    ASSERT_TRUE(broker.start()) << broker.output().toStdString();
    // Each unit has its own connection and back-off, so each catches up in its own time; only then
    // does the stop come (its 2 s would leave a unit still reconnecting queued, not sent).
    for (int u = 0; u < 3; ++u) {
        const qsizetype before = units[u]->replies() - 1;
        const QString name = QString("abc")[u];
        ASSERT_TRUE(QTest::qWaitFor([&] { return Fresh(States(sub, name)) >= before; }, 30000))
            << name.toStdString();
    }

    ASSERT_TRUE(publisher->signal(SIGTERM));
    EXPECT_EQ(publisher->wait(8000), 0) << log();
    for (int u = 0; u < 3; ++u) {
        const QString name = QString("abc")[u];
        const std::vector<State> states = States(sub, name);
        // Every reading taken arrived, in order; the one on the line as the stop came may be missing.
        EXPECT_GE(Fresh(states), units[u]->replies() - 1) << name.toStdString();
        EXPECT_TRUE(InOrder(states)) << name.toStdString();
        EXPECT_EQ(sub.payloads("quellix/" + name + "/availability").back(), "offline");
    }
    EXPECT_TRUE(States(sub, "d").empty());
    const std::vector<QByteArray> d = sub.payloads("quellix/d/availability");
    EXPECT_TRUE(!d.empty() && std::count(d.begin(), d.end(), "offline") == qsizetype(d.size()));
    EXPECT_GE(units[3]->versionRequests(), 2);
    const std::vector<State> a = States(sub, "a");
    EXPECT_EQ(std::count_if(a.begin(), a.end(), [](const State& s) { return s.stale; }), 1);
}

TEST_F(PublishCommandTest, AQueueLeftByAKilledPublisherIsSentOnTheNextStart) {
    Unit unit(dir, "boiler");
    ASSERT_TRUE(unit.sim.started());
    const QStringList args{"--port", unit.sim.path(), "--unit", "boiler"};
    broker.stop();
    auto first = publish(args);
    ASSERT_TRUE(QTest::qWaitFor([&] { return unit.replies() >= 3; }, 15000)) << log();
    ASSERT_TRUE(first->signal(SIGKILL));
    first->wait(5000);
    const qsizetype queued = unit.replies();
    const std::int64_t killed = QDateTime::currentMSecsSinceEpoch();

    ASSERT_TRUE(broker.start()) << broker.output().toStdString();
    TestSubscriber sub(dir, broker);
    auto second = publish(args);
    const auto before = [&] {
        const std::vector<State> states = States(sub, "boiler");
        return std::count_if(states.begin(), states.end(), [&](const State& s) { return s.time < killed; });
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return before() >= queued - 1; }, 15000)) << log();
    ASSERT_TRUE(second->signal(SIGTERM));
    EXPECT_EQ(second->wait(8000), 0) << log();
    EXPECT_TRUE(InOrder(States(sub, "boiler")));
}

} // namespace quellix
