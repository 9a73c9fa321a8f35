#pragma once
// Where a headless log reads the meter: a serial port or the USB cable. A
// source hands what it reads to its log session itself; it tells when its
// link is lost and when it is back, and tries to get it back every 2 s in
// between.

#include <QObject>
#include <QString>

#include <cstddef>

class MeterSource : public QObject {
    Q_OBJECT
public:
    static constexpr int kRetryMs = 2000;

    using QObject::QObject;

    // Opens the link at start; false with the reason when it cannot be read.
    virtual bool open(QString& error) = 0;
    // How messages name it: the port's path, or the cable.
    virtual QString name() const = 0;
    virtual bool linked() const = 0;
    // Frames the link itself dropped before decoding.
    virtual std::size_t framesRejected() const { return 0; }

signals:
    void lost(const QString& reason);
    void returned();
    // Something about the link worth a line of its own.
    void notice(const QString& text);
};
