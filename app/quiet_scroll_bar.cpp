#include "app/quiet_scroll_bar.h"

#include <QStyle>
#include <QStyleOptionSlider>

QuietScrollBar::QuietScrollBar(Qt::Orientation orientation, QWidget* parent) : QScrollBar(orientation, parent) {
    // With a background of its own, the grid frame and the window behind it
    // are not repainted each time the handle moves.
    setAutoFillBackground(true);
}

QuietScrollBar::Look QuietScrollBar::look() const {
    QStyleOptionSlider option;
    initStyleOption(&option);
    Look l;
    l.handle = style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this);
    l.atMinimum = value() == minimum();
    l.atMaximum = value() == maximum();
    return l;
}

void QuietScrollBar::sliderChange(SliderChange change) {
    const bool valueOrRange = change == SliderRangeChange || change == SliderValueChange ||
                              change == SliderStepsChange;
    if (!valueOrRange || !painted_) {
        QScrollBar::sliderChange(change);
        return;
    }
    // A new range and the value that follows it come as separate changes,
    // the first often a step away from what both together show: what is
    // shown is compared once they are all in, as a repaint would wait anyway.
    if (checkPending_) return;
    checkPending_ = true;
    QMetaObject::invokeMethod(
        this,
        [this, change] {
            checkPending_ = false;
            if (!(look() == shown_)) QScrollBar::sliderChange(change);
        },
        Qt::QueuedConnection);
}

void QuietScrollBar::paintEvent(QPaintEvent* event) {
    shown_ = look();
    painted_ = true;
    QScrollBar::paintEvent(event);
}
