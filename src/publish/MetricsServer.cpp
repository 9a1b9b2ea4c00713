#include "MetricsServer.h"

#include "PublishConfig.h"

#include <QHostInfo>
#include <QTcpSocket>
#include <QTimer>

namespace quellix {

namespace {

constexpr qsizetype MaxRequestBytes = 8192;
constexpr int RequestTimeoutMs = 10000;

QByteArray Response(const QByteArray& status, const QByteArray& type, const QByteArray& body) {
    return "HTTP/1.1 " + status + "\r\nContent-Type: " + type +
           "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

} // namespace

MetricsServer::MetricsServer(std::function<QByteArray()> page, QObject* parent)
    : QObject(parent), page_(std::move(page)) {
    connect(&server_, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = server_.nextPendingConnection()) {
            // A client that sends nothing whole in time is let go.
            QTimer::singleShot(RequestTimeoutMs, socket, &QTcpSocket::abort);
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
        }
    });
}

bool MetricsServer::listen(const QString& hostPort, QString* error) {
    QString host;
    quint16 port = 0;
    if (!ParseListenAddress(hostPort, &host, &port, error))
        return false;
    QHostAddress address(host);
    if (address.isNull()) {
        const QList<QHostAddress> found = QHostInfo::fromName(host).addresses();
        if (found.isEmpty()) {
            *error = QStringLiteral("Cannot listen on %1: no such host").arg(hostPort);
            return false;
        }
        address = found.front();
    }
    if (!server_.listen(address, port)) {
        *error = QStringLiteral("Cannot listen on %1: %2").arg(hostPort, server_.errorString());
        return false;
    }
    return true;
}

// Answers once the request's head is complete: one response per connection, then it closes.
void MetricsServer::serve(QTcpSocket* socket) {
    if (socket->property("answered").toBool()) {
        socket->readAll();
        return;
    }
    const QByteArray head = socket->peek(MaxRequestBytes);
    if (!head.contains("\r\n\r\n") && !head.contains("\n\n")) {
        if (head.size() >= MaxRequestBytes)
            socket->abort();
        return;
    }
    socket->setProperty("answered", true);
    const QList<QByteArray> request = head.left(head.indexOf('\n')).trimmed().split(' ');
    const QByteArray method = request.value(0);
    const QByteArray path = request.value(1).split('?').value(0);
    QByteArray response;
    if (path != "/metrics")
        response = Response("404 Not Found", "text/plain", "Only /metrics is here.\n");
    else if (method != "GET" && method != "HEAD")
        response = Response("405 Method Not Allowed", "text/plain", "GET only.\n");
    else {
        response = Response("200 OK", "text/plain; version=0.0.4; charset=utf-8", page_());
        if (method == "HEAD")
            response.truncate(response.indexOf("\r\n\r\n") + 4);
    }
    socket->write(response);
    socket->disconnectFromHost();
}

} // namespace quellix
