#pragma once
// The two pictures that tell whether frames are arriving: lit screens while
// they do, dark ones from the third idle tick of the 100 ms link timer on.

#include <QElapsedTimer>
#include <QObject>
#include <QPoint>

class QLabel;
class QWidget;

class LinkIndicator : public QObject {
    Q_OBJECT
public:
    LinkIndicator(QWidget* parent, QPoint at);

    QLabel* CONok() const { return CONok_; }
    QLabel* CONokN() const { return CONokN_; }
    bool active() const;
    int LinkIdleTicks() const { return LinkIdleTicks_; }

    // A frame was decoded.
    void frameDecoded();
    // Counts one timer tick; true when this tick finds the link idle (the
    // third one since the last frame or the last idle tick). A tick within
    // half a tick period of a frame is that frame's own tick, whichever of
    // the two was handled first, and does not count.
    bool countTick();
    // Shows the idle picture and starts counting afresh.
    void showIdle();

private:
    QLabel* CONok_ = nullptr;
    QLabel* CONokN_ = nullptr;
    int LinkIdleTicks_ = 0;
    QElapsedTimer sinceFrame_;
};
