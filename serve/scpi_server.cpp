#include "serve/scpi_server.h"

#include <QTcpSocket>

#include "serve/scpi_instrument.h"

namespace meterlink {

ScpiServer::ScpiServer(const ScpiSource& source, std::string identity, ScpiServerLimits limits, QObject* parent)
    : QObject(parent), source_(source), identity_(std::move(identity)), limits_(limits) {
    connect(&server_, &QTcpServer::newConnection, this, &ScpiServer::accept);
}

ScpiServer::~ScpiServer() = default;

bool ScpiServer::listen(const QHostAddress& address, quint16 port) {
    // A burst of connections waits in the kernel's queue, not in SYN
    // retries; those beyond maxClients are then closed at once.
    server_.setListenBacklogSize(1024);
    return server_.listen(address, port);
}

quint16 ScpiServer::port() const { return server_.serverPort(); }

QString ScpiServer::errorString() const { return server_.errorString(); }

void ScpiServer::accept() {
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        socket->setParent(this);
        if (clients_ >= limits_.maxClients) {
            emit clientDropped(socket->peerAddress().toString(), QStringLiteral("too many clients"));
            socket->abort();
            socket->deleteLater();
            continue;
        }
        serve(socket);
    }
}

void ScpiServer::serve(QTcpSocket* socket) {
    ++clients_;
    auto instrument = std::make_shared<ScpiInstrument>(source_, identity_);
    const QString peer = socket->peerAddress().toString() + QLatin1Char(':') + QString::number(socket->peerPort());
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);

    auto drop = [this, socket, peer](const QString& reason) {
        emit clientDropped(peer, reason);
        socket->abort();
    };
    connect(socket, &QTcpSocket::disconnected, this, [this, socket]() {
        --clients_;
        socket->deleteLater();
    });
    connect(socket, &QTcpSocket::errorOccurred, this, [socket](QAbstractSocket::SocketError) {
        // A client gone mid-answer: its socket closes, the others go on.
        if (socket->state() != QAbstractSocket::UnconnectedState) socket->abort();
    });
    connect(socket, &QTcpSocket::readyRead, this, [this, socket, instrument, drop]() {
        while (socket->canReadLine()) {
            QByteArray line = socket->readLine(limits_.maxLineBytes + 2);
            if (!line.endsWith('\n')) {
                drop(QStringLiteral("line longer than %1 bytes").arg(limits_.maxLineBytes));
                return;
            }
            line.chop(1);
            auto reply = instrument->execute(std::string_view(line.constData(), std::size_t(line.size())));
            if (reply) {
                reply->push_back('\n');
                socket->write(reply->data(), qint64(reply->size()));
                if (socket->bytesToWrite() > limits_.maxBacklogBytes) {
                    drop(QStringLiteral("does not read its replies"));
                    return;
                }
            }
        }
        if (socket->bytesAvailable() > limits_.maxLineBytes) drop(QStringLiteral("line longer than %1 bytes").arg(limits_.maxLineBytes));
    });
}

bool parseScpiAddress(const QString& text, QHostAddress* address, quint16* port, QString* error) {
    QString host = QStringLiteral("127.0.0.1");
    QString portText = text;
    qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon >= 0) {
        host = text.left(colon);
        portText = text.mid(colon + 1);
        if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']'))) host = host.mid(1, host.size() - 2);
        if (host.isEmpty()) {
            *error = QStringLiteral("--scpi %1: no host before \":\"").arg(text);
            return false;
        }
    }
    bool ok = false;
    uint value = portText.toUInt(&ok);
    if (!ok || value > 65535) {
        *error = QStringLiteral("--scpi %1: the port must be a number from 0 to 65535").arg(text);
        return false;
    }
    QHostAddress parsed;
    if (host == QLatin1String("localhost")) parsed = QHostAddress(QHostAddress::LocalHost);
    else if (host == QLatin1String("*") || host == QLatin1String("0.0.0.0")) parsed = QHostAddress(QHostAddress::AnyIPv4);
    else if (!parsed.setAddress(host)) {
        *error = QStringLiteral("--scpi %1: \"%2\" is not an IP address").arg(text, host);
        return false;
    }
    *address = parsed;
    *port = quint16(value);
    return true;
}

}  // namespace meterlink
