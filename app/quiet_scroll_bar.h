#pragma once
// A scroll bar that repaints for a new range or value only when that changes
// what it shows. A log that follows its newest row moves the range and value
// with every row, while the handle sits at its smallest, at the bottom: the
// repaint would draw the same pixels, and the style's gradients make it one
// of the dearer things in the window to draw.

#include <QRect>
#include <QScrollBar>

class QuietScrollBar : public QScrollBar {
public:
    explicit QuietScrollBar(Qt::Orientation orientation, QWidget* parent = nullptr);

protected:
    void sliderChange(SliderChange change) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // What a range or value change can alter on screen.
    struct Look {
        QRect handle;
        bool atMinimum = false;
        bool atMaximum = false;
        bool operator==(const Look& o) const {
            return handle == o.handle && atMinimum == o.atMinimum && atMaximum == o.atMaximum;
        }
    };
    Look look() const;

    Look shown_;
    bool painted_ = false;
    bool checkPending_ = false;
};
