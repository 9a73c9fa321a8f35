#pragma once
// The copy of the meter's LCD: a white 302 x 162 panel that paints four
// seven-segment digits, the minus sign, three decimal marks and every
// annunciator from the decoder's LCD state. Everything is drawn with
// QPainter, so it stays crisp at any device pixel ratio.

#include "protocol/lcd_state.h"

#include <QFrame>
#include <QHash>
#include <QPainterPath>
#include <QPixmap>
#include <QRect>

#include <array>
#include <functional>

class LcdPanel : public QFrame {
    Q_OBJECT
public:
    explicit LcdPanel(QWidget* parent = nullptr);

    void setState(const meterlink::LcdState& state);   // repaints
    const meterlink::LcdState& state() const { return state_; }

    // Where an element sits inside the panel (the layout table's left, top,
    // width, height); used by the painter and by tests.
    static QRect elementRect(meterlink::Lcd element);
    static QRect digitRect(int place);   // place 0..3, left to right

    QSize sizeHint() const override { return {302, 162}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Fills the path made by makePath, from a raster made on first use: the
    // panel repaints with every new reading, and shaping text and
    // antialiasing outlines cost far more than copying their pixels.
    void drawInk(QPainter& p, quint32 key, const std::function<QPainterPath()>& makePath);

    struct Ink {
        QPixmap raster;
        QPoint origin;   // panel position of the raster's top-left pixel
    };

    meterlink::LcdState state_;
    QHash<quint32, Ink> ink_;
    std::array<QPixmap, meterlink::kLcdIndicatorCount> pictures_;
};
