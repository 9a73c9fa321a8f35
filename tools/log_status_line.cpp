#include "log_status_line.h"

#include <QDateTime>

#include <sys/ioctl.h>
#include <unistd.h>

namespace {

QString stamped(const QString& text) {
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss ")) + text;
}

}  // namespace

LogStatusLine::LogStatusLine(std::function<QString()> describe, bool terminal, int fd, QObject* parent)
    : QObject(parent), describe_(std::move(describe)), terminal_(terminal), fd_(fd) {
    connect(&timer_, &QTimer::timeout, this, &LogStatusLine::draw);
    if (terminal_) {
        timer_.setSingleShot(true);
    } else {
        // Whole seconds are enough, and let it share a wake-up with the checkpoint.
        timer_.setTimerType(Qt::VeryCoarseTimer);
        timer_.start(kLogLineMs);
    }
}

void LogStatusLine::changed() {
    // Nothing to do for a log file, or while a redraw is already due.
    if (!terminal_ || finished_ || timer_.isActive()) return;
    if (!sinceDrawn_.isValid() || sinceDrawn_.elapsed() >= kTerminalRefreshMs) {
        draw();
        return;
    }
    timer_.start(static_cast<int>(kTerminalRefreshMs - sinceDrawn_.elapsed()));
}

void LogStatusLine::event(const QString& text) {
    if (!terminal_) {
        put(stamped(text) + QLatin1Char('\n'));
        return;
    }
    // Over the status line, which is drawn again below it.
    put(QStringLiteral("\r\x1b[K") + stamped(text) + QLatin1Char('\n'));
    shown_ = false;
    if (!finished_) draw();
}

void LogStatusLine::finish() {
    if (finished_) return;
    timer_.stop();
    if (terminal_) {
        draw();
        put(QStringLiteral("\n"));
        shown_ = false;
    } else {
        put(stamped(describe_()) + QLatin1Char('\n'));
    }
    finished_ = true;
}

void LogStatusLine::clearForOutput() {
    if (!terminal_ || !shown_) return;
    put(QStringLiteral("\r\x1b[K"));
    shown_ = false;
}

void LogStatusLine::outputDone() {
    if (terminal_ && !finished_) draw();
}

void LogStatusLine::draw() {
    sinceDrawn_.start();
    if (!terminal_) {
        put(stamped(describe_()) + QLatin1Char('\n'));
        return;
    }
    // A line longer than the terminal would wrap, and the next redraw could
    // no longer return to its start.
    QString text = describe_();
    winsize size{};
    if (::ioctl(fd_, TIOCGWINSZ, &size) == 0 && size.ws_col > 1 && text.size() >= size.ws_col)
        text.truncate(size.ws_col - 1);
    put(QStringLiteral("\r\x1b[K") + text);
    shown_ = true;
}

void LogStatusLine::put(const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n <= 0) return;   // nowhere to tell it; the log goes on
        done += n;
    }
}
