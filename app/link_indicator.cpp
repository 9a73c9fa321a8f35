#include "link_indicator.h"

#include "link_pictures.h"

#include <QLabel>

namespace {

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
}

bool LinkIndicator::active() const { return !CONok_->isHidden(); }

void LinkIndicator::frameDecoded() {
    CONok_->show();
    CONokN_->hide();
    LinkIdleTicks_ = 0;
    sinceFrame_.start();
}

bool LinkIndicator::countTick() {
    // The serial poll and the 100 ms link tick share their wakeups in either
    // order; counted after the frame, the tick would make the link look idle
    // 200 ms after each frame instead of 300.
    constexpr qint64 kSameMomentMs = 50;
    if (sinceFrame_.isValid() && sinceFrame_.elapsed() < kSameMomentMs)
        return false;
    if (LinkIdleTicks_ != 2) {
        ++LinkIdleTicks_;
        return false;
    }
    return true;
}

void LinkIndicator::showIdle() {
    CONok_->hide();
    CONokN_->show();
    LinkIdleTicks_ = 0;
}
