#pragma once
// The two pictures that tell whether frames are arriving: lit screens while
// they do, dark ones from the third idle tick of the 100 ms link timer on.
//
// The ticks fall on every whole 100 ms since the indicator was made. Which
// of them finds the link idle follows from the moment of the last frame or
// idle tick alone, so the ticks are worked out instead of counted: the link
// timer sleeps until the one that acts, instead of waking every 100 ms.

#include <QObject>
#include <QPoint>

#include <functional>

class QLabel;
class QWidget;

class LinkIndicator : public QObject {
    Q_OBJECT
public:
    static constexpr int kTickMs = 100;
    // Milliseconds since the first moment of the ticks.
    using Clock = std::function<qint64()>;

    LinkIndicator(QWidget* parent, QPoint at);

    QLabel* CONok() const { return CONok_; }
    QLabel* CONokN() const { return CONokN_; }
    bool active() const;
    // Ticks counted since the last frame or idle tick, 0 to 2.
    int LinkIdleTicks() const;

    // A frame was decoded. A tick within half a tick period after it is that
    // frame's own and does not count; one just before it was counted before
    // the frame started the count afresh.
    void frameDecoded();
    // The tick that finds the link idle (the third counted one) has come,
    // and no frame since.
    bool idleTickDue() const;
    // Milliseconds until that tick; 0 when it is due.
    int msUntilIdleTick() const;
    // Shows the idle picture and starts counting afresh from this tick.
    void showIdle();

    // Tests set the time.
    void setClock(Clock clock);

private:
    qint64 tickNow() const { return clock_() / kTickMs; }

    QLabel* CONok_ = nullptr;
    QLabel* CONokN_ = nullptr;
    Clock clock_;
    // The number of the tick that finds the link idle; tick n falls at n * kTickMs.
    qint64 idleTick_ = 3;
};
