// Serves the metrics page at /metrics over HTTP for Prometheus to scrape. A minimal HTTP/1.1 server
// of its own over QTcpServer: Prometheus asks for one page with GET, and Qt's HTTP server (a
// technical preview in Qt 6.4) would bring WebSockets along.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <functional>

namespace quellix {

class MetricsServer : public QObject {
    Q_OBJECT
public:
    // `page` makes the page at each scrape.
    explicit MetricsServer(std::function<QByteArray()> page, QObject* parent = nullptr);

    // Listens on "HOST:PORT" (port 0: any free one). False with `error` set for the user.
    bool listen(const QString& hostPort, QString* error);
    quint16 port() const { return server_.serverPort(); }

private:
    void serve(class QTcpSocket* socket);

    std::function<QByteArray()> page_;
    QTcpServer server_;
};

} // namespace quellix
