#include "stop_signal_notifier.h"

#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <iterator>

#include <fcntl.h>
#include <unistd.h>

namespace {

int gPipe[2] = {-1, -1};

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction gPrevious[std::size(kSignals)];
bool gInstalled[std::size(kSignals)] = {};

extern "C" void relayStopSignal(int number) {
    const int saved = errno;
    const char byte = static_cast<char>(number);
    // A full pipe already holds a stop request; nothing is lost by dropping this one.
    [[maybe_unused]] const ssize_t n = ::write(gPipe[1], &byte, 1);
    errno = saved;
}

bool makePipe() {
    if (::pipe(gPipe) != 0) return false;
    for (int fd : gPipe) {
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    return true;
}

}  // namespace

StopSignalNotifier::StopSignalNotifier(QObject* parent) : QObject(parent) {
    if (!makePipe()) {
        qWarning("stop signals cannot be watched: %s", std::strerror(errno));
        return;
    }
    notifier_ = new QSocketNotifier(gPipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &StopSignalNotifier::readPipe);
    struct sigaction action {};
    action.sa_handler = relayStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;   // other system calls go on as if nothing happened
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        ::sigaction(kSignals[i], nullptr, &gPrevious[i]);
        // Started with SIGHUP ignored (nohup): the run must outlive its terminal.
        if (kSignals[i] == SIGHUP && gPrevious[i].sa_handler == SIG_IGN) continue;
        gInstalled[i] = ::sigaction(kSignals[i], &action, nullptr) == 0;
    }
}

StopSignalNotifier::~StopSignalNotifier() {
    for (std::size_t i = 0; i < std::size(kSignals); ++i)
        if (gInstalled[i]) ::sigaction(kSignals[i], &gPrevious[i], nullptr);
    std::fill(std::begin(gInstalled), std::end(gInstalled), false);
    delete notifier_;
    for (int& fd : gPipe) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
}

QString StopSignalNotifier::signalName(int signalNumber) {
    switch (signalNumber) {
    case SIGINT: return QStringLiteral("SIGINT");
    case SIGTERM: return QStringLiteral("SIGTERM");
    case SIGHUP: return QStringLiteral("SIGHUP");
    default: return QStringLiteral("signal %1").arg(signalNumber);
    }
}

int StopSignalNotifier::takeRequest() {
    if (gPipe[0] < 0) return 0;
    char bytes[16];
    ssize_t n = 0;
    int last = 0;
    while ((n = ::read(gPipe[0], bytes, sizeof bytes)) > 0) last = bytes[n - 1];
    return last;
}

void StopSignalNotifier::readPipe() {
    if (const int last = takeRequest()) emit stopRequested(last);
}
