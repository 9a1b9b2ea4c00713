#include "MosquittoBroker.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

namespace quellix {

namespace {

quint16 FreeLoopbackPort() {
    QTcpServer server;
    return server.listen(QHostAddress::LocalHost, 0) ? server.serverPort() : 0;
}

bool TakesConnections(quint16 port) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    return socket.waitForConnected(200);
}

} // namespace

MosquittoBroker::MosquittoBroker(const TempDir& dir, const QString& config)
    : dir_(dir), config_(config), port_(FreeLoopbackPort()) {}

bool MosquittoBroker::start() {
    // As root the broker would become the user "mosquitto", who cannot write the test's directory.
    const QString conf =
        QStringLiteral("user root\npersistence true\npersistence_location %1/\nlog_type error\n"
                       "log_type warning\nlistener %2 127.0.0.1\n%3")
            .arg(dir_.path())
            .arg(port_)
            .arg(config_);
    process_ = std::make_unique<ChildProcess>("mosquitto",
                                              QStringList{"-c", dir_.write("mosquitto.conf", conf.toUtf8())},
                                              dir_.file("mosquitto.log"));
    return QTest::qWaitFor([&] { return !process_->running() || TakesConnections(port_); }, 10000) &&
           process_->running();
}

void MosquittoBroker::stop() {
    if (process_ && process_->signal(SIGTERM) && process_->wait(5000) < 0)
        process_.reset(); // killed
}

bool MosquittoBroker::publish(const QString& topic, const QByteArray& payload) const {
    return ChildProcess("mosquitto_pub", {"-h", "127.0.0.1", "-p", QString::number(port_), "-q", "1", "-t",
                                          topic, "-m", QString::fromUtf8(payload)})
               .wait(10000) == 0;
}

TestSubscriber::TestSubscriber(const TempDir& dir, const MosquittoBroker& broker, const QString& id)
    : output_(dir.file(id + ".messages")), process_("mosquitto_sub",
                                                    {"-h", "127.0.0.1", "-p", QString::number(broker.port()),
                                                     "-i", id, "-c", "-q", "1", "-t", "#", "-F", "%t %p"},
                                                    output_) {
    const QString probe = "test/probe/" + id;
    (void)QTest::qWaitFor([&] { return broker.publish(probe, "") && !payloads(probe).empty(); }, 10000);
}

// Each message is a line "TOPIC PAYLOAD"; none of the payloads tested holds a line break.
std::vector<QByteArray> TestSubscriber::payloads(const QString& topic) const {
    const QByteArray prefix = topic.toUtf8() + ' ';
    std::vector<QByteArray> found;
    for (const QByteArray& line : TempDir::read(output_).split('\n')) {
        if (line.startsWith(prefix))
            found.push_back(line.mid(prefix.size()));
    }
    return found;
}

bool TestSubscriber::waitForCount(const QString& topic, std::size_t count) const {
    return QTest::qWaitFor([&] { return payloads(topic).size() >= count; }, 10000);
}

} // namespace quellix
