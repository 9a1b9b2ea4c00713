// A unit published to a real mosquitto broker: states in order, retained availability and discovery,
// the broker away and back with every queued reading arriving in order, Home Assistant's restart, the
// last will of a killed publisher, and a login with password and client certificate over TLS.
#include "PublishConfig.h"
#include "UnitPublisher.h"

#include "ChildProcess.h"
#include "MosquittoBroker.h"
#include "TempDir.h"
#include "TestReadings.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace quellix {

namespace {

std::unique_ptr<UnitPublisher> Publisher(const TempDir& dir, const MqttSettings& broker) {
    QString error;
    auto queue = ReadingQueue::Open(dir.file("queue"), "boiler", 100, &error);
    EXPECT_TRUE(queue) << error.toStdString();
    UnitTopics topics;
    topics.unit = "boiler";
    return std::make_unique<UnitPublisher>(broker, topics, true, std::move(queue));
}

// The numbers of the readings whose states arrived, each once, in the order first seen.
std::vector<std::int64_t> Numbers(const std::vector<QByteArray>& states) {
    std::vector<std::int64_t> numbers;
    for (const QByteArray& state : states) {
        const QString time = QJsonDocument::fromJson(state).object().value("time").toString();
        const std::int64_t n =
            (QDateTime::fromString(time, Qt::ISODateWithMs).toMSecsSinceEpoch() - Dec9) / 1000;
        if (std::find(numbers.begin(), numbers.end(), n) == numbers.end())
            numbers.push_back(n);
    }
    return numbers;
}

TEST(UnitPublisher, PublishesInOrderAndCatchesUpWhenTheBrokerIsBack) {
    TempDir dir;
    MosquittoBroker broker(dir);
    ASSERT_TRUE(broker.start()) << broker.output().toStdString();
    TestSubscriber sub(dir, broker);
    MqttSettings settings;
    settings.port = broker.port();
    settings.clientId = "test";
    auto publisher = Publisher(dir, settings);
    const UnitTopics topics = publisher->topics();
    UnitDescription unit;
    unit.names.tags = {"Flow", "Temp", "Press", "Level"};
    unit.flags = {1, 2, 0x43, 0};
    publisher->describe(unit);
    publisher->setUnitOnline(true);
    publisher->start();
    for (int n = 1; n <= 3; ++n)
        ASSERT_TRUE(publisher->takeReading(TestReading(n), false));
    ASSERT_TRUE(sub.waitForCount(topics.State(), 3));

    broker.stop();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !publisher->connected(); }, 10000));
    for (int n = 4; n <= 8; ++n)
        ASSERT_TRUE(publisher->takeReading(TestReading(n), n == 8));
    EXPECT_GE(publisher->queue().Length(), 5);
    ASSERT_TRUE(broker.start()) << broker.output().toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Numbers(sub.payloads(topics.State())).size() >= 8; }, 20000));
    EXPECT_EQ(Numbers(sub.payloads(topics.State())), (std::vector<std::int64_t>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return publisher->queue().Length() == 0; }, 10000));

    // A subscriber coming later gets the retained availability and configs, none for channel 3.
    TestSubscriber late(dir, broker, "late");
    ASSERT_TRUE(late.waitForCount(topics.Discovery(4), 1));
    EXPECT_EQ(late.payloads(topics.Availability()), std::vector<QByteArray>{"online"});
    EXPECT_TRUE(late.payloads(topics.Discovery(3)).empty() &&
                sub.payloads(topics.Discovery(3)).front().isEmpty());

    // Home Assistant starting again asks for the configs anew.
    const std::size_t configs = sub.payloads(topics.Discovery(1)).size();
    ASSERT_TRUE(broker.publish("homeassistant/status", "online"));
    EXPECT_TRUE(sub.waitForCount(topics.Discovery(1), configs + 1));

    QSignalSpy finished(publisher.get(), &UnitPublisher::finished);
    publisher->finish(2000);
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return sub.payloads(topics.Availability()).back() == "offline"; }, 5000));
}

TEST(UnitPublisher, TheLastWillMarksTheUnitOfflineWhenThePublisherIsKilled) {
    TempDir dir;
    MosquittoBroker broker(dir);
    ASSERT_TRUE(broker.start()) << broker.output().toStdString();
    TestSubscriber sub(dir, broker);
    ChildProcess child(QCoreApplication::applicationDirPath() + "/publish_helper",
                       {"publish", QString::number(broker.port()), dir.file("queue")});
    ASSERT_TRUE(sub.waitForCount("quellix/child/availability", 1));
    ASSERT_TRUE(child.signal(SIGKILL));
    ASSERT_TRUE(sub.waitForCount("quellix/child/availability", 2));
    EXPECT_EQ(sub.payloads("quellix/child/availability"), (std::vector<QByteArray>{"online", "offline"}));
}

// A certificate authority, the broker's and the client's certificates for 127.0.0.1, and the login.
constexpr char Credentials[] = R"(set -e; cd "$1"; k="-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes"
openssl req -x509 -days 2 $k -subj /CN=test-ca -keyout ca.key -out ca.pem
echo subjectAltName=IP:127.0.0.1 > san
for w in server client; do
  openssl req $k -subj /CN=127.0.0.1 -keyout $w.key -out $w.csr
  openssl x509 -req -days 2 -in $w.csr -CA ca.pem -CAkey ca.key -CAcreateserial -extfile san -out $w.pem
done
chmod 600 client.key; mosquitto_passwd -b -c passwd quellix s3cret)";

TEST(UnitPublisher, LogsInWithPasswordAndClientCertificateOverTlsWithMqtt5) {
    TempDir dir;
    ASSERT_EQ(ChildProcess("sh", {"-c", Credentials, "sh", dir.path()}, dir.file("log")).wait(30000), 0)
        << TempDir::read(dir.file("log")).toStdString();
    MosquittoBroker broker(
        dir, QString("allow_anonymous false\npassword_file %1/passwd\ncafile %1/ca.pem\n"
                     "certfile %1/server.pem\nkeyfile %1/server.key\nrequire_certificate true\n")
                 .arg(dir.path()));
    ASSERT_TRUE(broker.start()) << broker.output().toStdString();
    const QString conf =
        dir.write("plant.conf", QString("[broker]\nurl = mqtts://127.0.0.1:%1\nprotocol = 5\n"
                                        "username = quellix\npassword_file = %2/pw\n"
                                        "ca_file = %2/ca.pem\ncert_file = %2/client.pem\n"
                                        "key_file = %2/client.key\n")
                                    .arg(broker.port())
                                    .arg(dir.path())
                                    .toUtf8());
    const auto settings = [&](const QByteArray& password) {
        QFile::setPermissions(dir.write("pw", password), QFile::ReadOwner | QFile::WriteOwner);
        QString error;
        const auto config = LoadPublishConfig(conf, &error);
        EXPECT_TRUE(config) << error.toStdString();
        return config.value_or(PublishConfig{}).broker;
    };

    auto wrong = Publisher(dir, settings("wrong\n"));
    QSignalSpy failed(&wrong->client(), &MqttClient::attemptFailed);
    wrong->start();
    ASSERT_TRUE(failed.wait(10000));
    EXPECT_TRUE(failed.front().front().toString().startsWith("refused: "))
        << failed.front().front().toString().toStdString();
    wrong.reset();

    auto publisher = Publisher(dir, settings("s3cret\n"));
    publisher->start();
    ASSERT_TRUE(publisher->takeReading(TestReading(1), false));
    EXPECT_TRUE(QTest::qWaitFor([&] { return publisher->queue().Length() == 0; }, 10000));
}

} // namespace

} // namespace quellix
