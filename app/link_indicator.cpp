#include "link_indicator.h"

#include "link_pictures.h"

#include <QElapsedTimer>
#include <QLabel>

#include <algorithm>

namespace {

// The third counted tick finds the link idle.
constexpr qint64 kCountedTicks = 3;
// The serial poll and the link tick share their wakeups in either order; a
// tick this close after a frame, counted, would make the link look idle
// 200 ms after each frame instead of 300.
constexpr qint64 kSameMomentMs = 50;

QLabel* makePicture(const QString& name, const QPixmap& picture, QPoint at, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setPixmap(picture);
    label->setGeometry(QRect(at, picture.size() / picture.devicePixelRatio()));
    return label;
}

}  // namespace

LinkIndicator::LinkIndicator(QWidget* parent, QPoint at) : QObject(parent) {
    CONok_ = makePicture(QStringLiteral("CONok"), linkPicture(true), at, parent);
    CONokN_ = makePicture(QStringLiteral("CONokN"), linkPicture(false), at, parent);
    CONok_->hide();
    QElapsedTimer since;
    since.start();
    clock_ = [since] { return since.elapsed(); };
}

void LinkIndicator::setClock(Clock clock) {
    clock_ = std::move(clock);
    idleTick_ = tickNow() + kCountedTicks;
}

bool LinkIndicator::active() const { return !CONok_->isHidden(); }

int LinkIndicator::LinkIdleTicks() const {
    const qint64 counted = tickNow() - (idleTick_ - kCountedTicks);
    return static_cast<int>(std::clamp<qint64>(counted, 0, kCountedTicks - 1));
}

void LinkIndicator::frameDecoded() {
    CONok_->show();
    CONokN_->hide();
    // The first tick at least kSameMomentMs after the frame is the first counted.
    const qint64 firstCounted = (clock_() + kSameMomentMs + kTickMs - 1) / kTickMs;
    idleTick_ = firstCounted + kCountedTicks - 1;
}

bool LinkIndicator::idleTickDue() const { return clock_() >= idleTick_ * kTickMs; }

int LinkIndicator::msUntilIdleTick() const {
    return static_cast<int>(std::max<qint64>(0, idleTick_ * kTickMs - clock_()));
}

void LinkIndicator::showIdle() {
    CONok_->hide();
    CONokN_->show();
    // Counted from the tick that is handled: a late handler (after a message
    // box) does not leave ticks behind to catch up on.
    idleTick_ = tickNow() + kCountedTicks;
}
