#include "links/network_port.h"

#include <QUrl>

#include <cerrno>

bool isNetworkPortName(const QString& name) {
    return name.startsWith(QLatin1String("tcp://"), Qt::CaseInsensitive);
}

std::optional<NetworkPortAddress> parseNetworkPortName(const QString& name, QString& why) {
    const QUrl url(name, QUrl::StrictMode);
    // A path, query or user would be silently ignored; a typo must not be.
    if (!url.isValid() || url.host().isEmpty() || !url.userInfo().isEmpty() ||
        !(url.path().isEmpty() || url.path() == QLatin1String("/")) || url.hasQuery() || url.hasFragment()) {
        why = QStringLiteral("a network port is written tcp://HOST:PORT");
        return std::nullopt;
    }
    if (url.port() <= 0) {
        why = QStringLiteral("a network port needs its TCP port number: tcp://HOST:PORT");
        return std::nullopt;
    }
    return NetworkPortAddress{url.host(), static_cast<quint16>(url.port())};
}

QString networkOpenFailureText(QAbstractSocket::SocketError error, const NetworkPortAddress& address,
                               const QString& systemText) {
    switch (error) {
    case QAbstractSocket::HostNotFoundError:
        return QStringLiteral("the host %1 is unknown").arg(address.host);
    case QAbstractSocket::ConnectionRefusedError:
        return QStringLiteral("connection refused: nothing serves port %1 on %2").arg(address.port).arg(address.host);
    case QAbstractSocket::SocketTimeoutError:
        return QStringLiteral("the server does not answer");
    case QAbstractSocket::NetworkError:
        return QStringLiteral("the network is unreachable (%1)").arg(systemText);
    default:
        break;
    }
    return systemText;
}

QString networkLossText(QAbstractSocket::SocketError error, const QString& systemText, int systemError) {
    if (error == QAbstractSocket::RemoteHostClosedError)
        return systemError == ECONNRESET ? QStringLiteral("the server reset the connection")
                                         : QStringLiteral("the server closed the connection");
    return QStringLiteral("the connection broke (%1)").arg(systemText);
}
