#pragma once
// What a headless log tells on standard error while it runs. On a terminal:
// one status line redrawn in place, at most once a second and only after
// something changed, with the lines of events (a port lost, back again)
// printed above it. Otherwise, for a log file: the status as a line of its
// own once a minute, and the event lines, each behind the date and time.

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class LogStatusLine : public QObject {
    Q_OBJECT
public:
    static constexpr int kTerminalRefreshMs = 1000;
    static constexpr int kLogLineMs = 60000;

    // describe gives the status text at the moment it is shown; fd is where
    // the lines go (standard error).
    LogStatusLine(std::function<QString()> describe, bool terminal, int fd = 2, QObject* parent = nullptr);

    // Something the status shows has changed.
    void changed();
    // An event worth a line of its own.
    void event(const QString& text);
    // The last status, and the line ended: nothing more is drawn.
    void finish();
    // For output to the same terminal (rows on standard output): the status
    // line is taken away before it, and drawn again below it after.
    void clearForOutput();
    void outputDone();

private:
    void draw();
    void put(const QString& text);

    std::function<QString()> describe_;
    bool terminal_;
    int fd_;
    bool finished_ = false;
    bool shown_ = false;   // the status line stands on the terminal's current line
    QTimer timer_;
    QElapsedTimer sinceDrawn_;
};
