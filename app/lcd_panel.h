#pragma once
// The copy of the meter's LCD: a white 302 x 162 panel that paints four (or,
// for meters of more than 9999 counts, five) seven-segment digits, the minus
// sign, the decimal marks between them and every
// annunciator from the decoder's LCD state. Everything is drawn with
// QPainter, so it stays crisp at any device pixel ratio.

#include "protocol/lcd_state.h"

#include <QFrame>
#include <QHash>
#include <QPainterPath>
#include <QPixmap>
#include <QRect>

#include <array>
#include <bitset>
#include <functional>

class LcdPanel : public QFrame {
    Q_OBJECT
public:
    // Marks some meter families have beyond the shipped meter's.
    enum class Extra : std::size_t {
        P4,        // decimal mark after the fourth place (five-place meters)
        PeakMax,   // "PMAX"
        PeakMin,   // "PMIN"
        Apo,       // "APO", auto power-off armed
        Beep,      // the beeper symbol without the continuity function
        Count
    };
    static constexpr std::size_t kExtraCount = static_cast<std::size_t>(Extra::Count);
    struct Extras {
        char digit5 = '\0';   // the fifth place of five-place meters
        std::bitset<kExtraCount> on;
        bool shown(Extra e) const { return on.test(static_cast<std::size_t>(e)); }
        bool operator==(const Extras& o) const { return digit5 == o.digit5 && on == o.on; }
    };

    explicit LcdPanel(QWidget* parent = nullptr);

    // Repaints what changed. The shipped meter has no extras.
    void setState(const meterlink::LcdState& state, const Extras& extras);
    void setState(const meterlink::LcdState& state);
    const meterlink::LcdState& state() const { return state_; }
    const Extras& extras() const { return extras_; }
    // The digit of place 0.. left to right.
    char digit(int place) const;

    // Four digit places, or five for a meter of more than 9999 counts.
    void setDigitPlaces(int places);
    int digitPlaces() const { return places_; }

    // Where an element sits inside the panel (the layout table's left, top,
    // width, height) with that many digit places; empty for a mark the
    // display does not have. Used by the painter and by tests.
    static QRect elementRect(meterlink::Lcd element, int places = 4);
    static QRect extraRect(Extra extra, int places = 4);
    static QRect digitRect(int place, int places = 4);   // place 0.., left to right

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
    Extras extras_;
    int places_ = 4;
    QHash<quint32, Ink> ink_;
    std::array<QPixmap, meterlink::kLcdIndicatorCount> pictures_;
};
