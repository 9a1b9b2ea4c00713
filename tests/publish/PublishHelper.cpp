// A child process for the publisher's tests, there to be killed with SIGKILL at any moment.
//   append DIR CAPACITY  appends TestReading(n) to the queue of unit "child" without end, printing n
//                        once each is written
//   publish PORT DIR     publishes unit "child" to the broker at 127.0.0.1:PORT, its availability
//                        "online"
#include "TestReadings.h"
#include "UnitPublisher.h"

#include <QCoreApplication>
#include <cstdio>

using namespace quellix;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4)
        return 2;
    QString error;
    auto queue = ReadingQueue::Open(args[2 + (args[1] == "publish")], "child",
                                    args[1] == "append" ? args[3].toLongLong() : 16, &error);
    if (!queue) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    if (args[1] == "append") {
        for (std::int64_t n = queue->End(); queue->Append(TestReading(n), false, {}); ++n) {
            std::printf("%lld\n", static_cast<long long>(n));
            std::fflush(stdout);
        }
        return 1;
    }
    MqttSettings broker;
    broker.port = args[2].toInt();
    broker.clientId = "helper";
    UnitTopics topics;
    topics.unit = "child";
    UnitPublisher publisher(broker, topics, false, std::move(queue));
    publisher.setUnitOnline(true);
    publisher.start();
    return QCoreApplication::exec();
}
