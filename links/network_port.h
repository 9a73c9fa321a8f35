#pragma once
// A serial port served over the network: "tcp://HOST:PORT" names a raw TCP
// connection to a serial-port server, whose far side holds the meter's line
// and its settings. The bytes read from the connection are the meter's bytes.

#include <QAbstractSocket>
#include <QString>

#include <optional>

struct NetworkPortAddress {
    QString host;
    quint16 port = 0;
};

// Whether a port name is a network port (it starts with "tcp://").
bool isNetworkPortName(const QString& name);

// HOST:PORT out of "tcp://HOST:PORT" (an IPv6 address in brackets); nothing,
// with the reason in why, when the name does not say both.
std::optional<NetworkPortAddress> parseNetworkPortName(const QString& name, QString& why);

// Why a connection could not be made, worded as a local port's failure is.
QString networkOpenFailureText(QAbstractSocket::SocketError error, const NetworkPortAddress& address,
                               const QString& systemText);

// Why an open connection was lost. systemError: errno as the failed read
// left it; Qt reports a reset as a close.
QString networkLossText(QAbstractSocket::SocketError error, const QString& systemText, int systemError = 0);
