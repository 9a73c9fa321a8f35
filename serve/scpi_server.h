#pragma once
// MeterLink as a SCPI instrument on a raw TCP socket: one command line per
// "\n", one reply line per line that asked. Each client has its own error
// queue. A client that sends a line longer than maxLineBytes, lets more than
// maxBacklogBytes of replies pile up unread, or comes when maxClients are
// connected is dropped; the others never wait for it.

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTcpServer>

#include <cstddef>
#include <memory>
#include <string>

#include "serve/scpi_source.h"

class QTcpSocket;

namespace meterlink {

struct ScpiServerLimits {
    int maxClients = 64;
    qint64 maxLineBytes = 64 * 1024;
    qint64 maxBacklogBytes = 1024 * 1024;
};

class ScpiServer : public QObject {
    Q_OBJECT
public:
    ScpiServer(const ScpiSource& source, std::string identity, ScpiServerLimits limits = {}, QObject* parent = nullptr);
    ~ScpiServer() override;

    // False with errorString() when the address cannot be bound.
    bool listen(const QHostAddress& address, quint16 port);
    quint16 port() const;
    QString errorString() const;
    int clientCount() const { return clients_; }

signals:
    // A client was dropped, and why: for the window's or the CLI's log.
    void clientDropped(const QString& peer, const QString& reason);

private:
    void accept();
    void serve(QTcpSocket* socket);

    const ScpiSource& source_;
    std::string identity_;
    ScpiServerLimits limits_;
    QTcpServer server_;
    int clients_ = 0;
};

// "[HOST:]PORT" as `--scpi` takes it: localhost unless a host is given.
// False with a message for a bad port.
bool parseScpiAddress(const QString& text, QHostAddress* address, quint16* port, QString* error);

}  // namespace meterlink
