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
}

bool LinkIndicator::countTick() {
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
