// The Prometheus page: values in their decimals, missing and stale ones left out, link counters by
// reason, and the page served over HTTP.
#include "Metrics.h"
#include "MetricsServer.h"

#include "TestReadings.h"

#include <QTcpSocket>
#include <QTest>
#include <gtest/gtest.h>

namespace quellix {

namespace {

TEST(PublishMetrics, ValuesRawStalenessAndCountersPerUnit) {
    PublishMetrics metrics;
    UnitMetrics& boiler = metrics.unit("boiler");
    boiler.up = true;
    boiler.reading = TestReading(512);
    boiler.stale = false;
    boiler.names.tags[0] = "Boiler \"Flow\"";
    boiler.names.units[0] = "m3/h";
    LinkCounters counters(boiler);
    for (int resend : {0, 1, 2})
        counters.FrameSent("x", resend);
    counters.Dropped(DropReason::NoStartByte, "z");
    metrics.unit("tank"); // known, never read

    const QByteArray page = metrics.Exposition();
    for (const char* line : {
             "# TYPE quellix_value gauge\n",
             "quellix_value{unit=\"boiler\",channel=\"1\",tag=\"Boiler \\\"Flow\\\"\",units=\"m3/h\"} "
             "-51.2\n",
             "quellix_value{unit=\"boiler\",channel=\"2\",tag=\"Channel 2\",units=\"\"} 12.34\n",
             "quellix_raw{unit=\"boiler\",channel=\"3\"} 7\n",
             "quellix_stale{unit=\"boiler\",channel=\"1\"} 0\n",
             "quellix_stale{unit=\"boiler\",channel=\"4\"} 1\n", // no raw reading
             "quellix_stale{unit=\"tank\",channel=\"1\"} 1\n",
             "quellix_up{unit=\"boiler\"} 1\nquellix_up{unit=\"tank\"} 0\n",
             "# TYPE quellix_resends_total counter\nquellix_resends_total{unit=\"boiler\"} 2\n",
             "quellix_dropped_batches_total{unit=\"boiler\",reason=\"no_start_byte\"} 1\n",
             "quellix_dropped_batches_total{unit=\"boiler\",reason=\"extra_bytes\"} 0\n",
         })
        EXPECT_TRUE(page.contains(line)) << line << "\nin\n" << page.toStdString();
    EXPECT_FALSE(page.contains("channel=\"3\",tag") ||
                 page.contains("quellix_raw{unit=\"boiler\",channel=\"4\"}"));
    boiler.stale = true;
    EXPECT_FALSE(metrics.Exposition().contains("quellix_value{"));
}

// The server runs on this thread, so the request is made without blocking it.
QByteArray Fetch(quint16 port, const QByteArray& request) {
    QTcpSocket socket;
    QByteArray response;
    QObject::connect(&socket, &QTcpSocket::readyRead, &socket, [&] { response += socket.readAll(); });
    socket.connectToHost(QHostAddress::LocalHost, port);
    socket.write(request);
    EXPECT_TRUE(QTest::qWaitFor([&] { return socket.state() == QAbstractSocket::UnconnectedState; }, 10000));
    return response;
}

TEST(MetricsServer, ServesThePageAtMetricsOnly) {
    MetricsServer server([] { return QByteArray("quellix_up{unit=\"a\"} 1\n"); });
    QString error;
    ASSERT_TRUE(server.listen("127.0.0.1:0", &error)) << error.toStdString();
    const QByteArray ok = Fetch(server.port(), "GET /metrics HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_TRUE(ok.startsWith("HTTP/1.1 200 OK\r\n") &&
                ok.contains("Content-Type: text/plain; version=0.0.4") &&
                ok.endsWith("\r\n\r\nquellix_up{unit=\"a\"} 1\n"))
        << ok.toStdString();
    EXPECT_TRUE(Fetch(server.port(), "GET / HTTP/1.0\r\n\r\n").startsWith("HTTP/1.1 404"));
    EXPECT_FALSE(MetricsServer({}).listen("127.0.0.1:" + QString::number(server.port()), &error));
    EXPECT_TRUE(error.startsWith("Cannot listen on 127.0.0.1:")) << error.toStdString();
}

} // namespace

} // namespace quellix
