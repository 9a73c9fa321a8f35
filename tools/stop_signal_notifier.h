#pragma once
// SIGINT and SIGTERM (and SIGHUP, unless it was ignored, as under nohup)
// turned into a Qt signal on the event loop, so that a stop request ends the
// run through the same path as its other ends: save, then exit. The handler
// only writes the signal's number into a pipe that the loop watches. One
// notifier at a time; POSIX only.

#include <QObject>

class QSocketNotifier;

class StopSignalNotifier : public QObject {
    Q_OBJECT
public:
    explicit StopSignalNotifier(QObject* parent = nullptr);
    // Puts back the handlers that were there before.
    ~StopSignalNotifier() override;

    // For code that waits before the event loop runs: the stop signal that
    // came meanwhile (taken, so it is not emitted), or 0.
    int takeRequest();

    // "SIGINT", "SIGTERM", "SIGHUP".
    static QString signalName(int signalNumber);

signals:
    void stopRequested(int signalNumber);

private:
    void readPipe();

    QSocketNotifier* notifier_ = nullptr;
};
