#include "app/lcd_panel.h"

#include "app/link_pictures.h"

#include <QFont>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>
#include <QPolygonF>
#include <QRegion>
#include <QStringList>
#include <QTransform>

#include <array>

using meterlink::Lcd;
using meterlink::LcdState;

namespace {

// Digit geometry. The boxes sit on the same baseline as the decimal marks
// (y 121) and leave the row above free for the small annunciators. A
// five-place display packs narrower digits into the same stretch, so the
// units on the right keep their places.
struct DigitLayout {
    int places;
    std::array<int, 5> left;
    int boxWidth;
    qreal width;     // one row of a digit, without the slant
    qreal slant;     // how far the top leans right of the bottom
    qreal segment;   // segment thickness
    int markWidth;   // the decimal mark's square
};

constexpr DigitLayout kFourPlaces{4, {41, 88, 136, 184, 0}, 38, 32.0, 6.0, 8.0, 7};
constexpr DigitLayout kFivePlaces{5, {37, 71, 105, 139, 173}, 28, 23.0, 5.0, 6.5, 5};

const DigitLayout& layoutFor(int places) { return places == 5 ? kFivePlaces : kFourPlaces; }

constexpr int kDigitTop = 38;
constexpr int kDigitHeight = 83;
constexpr qreal kSegment = 8.0;        // the minus sign's thickness
constexpr qreal kSegmentGap = 1.2;

// Segment bits: a top, b top right, c bottom right, d bottom, e bottom left,
// f top left, g middle.
enum Segment : unsigned { SegA = 1, SegB = 2, SegC = 4, SegD = 8, SegE = 16, SegF = 32, SegG = 64 };

unsigned segmentsOf(char digit) {
    switch (digit) {
    case '0': return SegA | SegB | SegC | SegD | SegE | SegF;
    case '1': return SegB | SegC;
    case '2': return SegA | SegB | SegG | SegE | SegD;
    case '3': return SegA | SegB | SegG | SegC | SegD;
    case '4': return SegF | SegG | SegB | SegC;
    case '5': return SegA | SegF | SegG | SegC | SegD;
    case '6': return SegA | SegF | SegG | SegE | SegC | SegD;
    case '7': return SegA | SegB | SegC;
    case '8': return SegA | SegB | SegC | SegD | SegE | SegF | SegG;
    case '9': return SegA | SegB | SegC | SegD | SegF | SegG;
    case '@': return SegF | SegE | SegD;   // the overload letter L
    case 'U': return SegF | SegE | SegD | SegC | SegB;   // underflow "UL"
    default: return 0;
    }
}

// A segment as a stretched hexagon along its centre line, pointed at both
// ends so neighbours meet at a mitre like on the glass.
QPolygonF horizontalSegment(qreal u1, qreal u2, qreal v, qreal thickness = kSegment) {
    const qreal h = thickness / 2;
    return QPolygonF({{u1, v}, {u1 + h, v - h}, {u2 - h, v - h}, {u2, v}, {u2 - h, v + h}, {u1 + h, v + h}});
}

QPolygonF verticalSegment(qreal u, qreal v1, qreal v2, qreal thickness) {
    const qreal h = thickness / 2;
    return QPolygonF({{u, v1}, {u + h, v1 + h}, {u + h, v2 - h}, {u, v2}, {u - h, v2 - h}, {u - h, v1 + h}});
}

// Ink keys: indicators use their index, digits start here.
constexpr quint32 kDigitInkKey = 0x1000;

QPainterPath digitPath(unsigned segments, const DigitLayout& layout) {
    const qreal t = layout.segment;
    const qreal h = t / 2;
    const qreal left = h, right = layout.width - h;
    const qreal top = h, middle = kDigitHeight / 2.0, bottom = kDigitHeight - h;
    const qreal g = kSegmentGap;
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    auto add = [&](unsigned bit, const QPolygonF& polygon) {
        if (segments & bit) path.addPolygon(polygon);
    };
    add(SegA, horizontalSegment(left + g, right - g, top, t));
    add(SegG, horizontalSegment(left + g, right - g, middle, t));
    add(SegD, horizontalSegment(left + g, right - g, bottom, t));
    add(SegF, verticalSegment(left, top + g, middle - g, t));
    add(SegB, verticalSegment(right, top + g, middle - g, t));
    add(SegE, verticalSegment(left, middle + g, bottom - g, t));
    add(SegC, verticalSegment(right, middle + g, bottom - g, t));
    return path;
}

// Maps digit coordinates (u right, v down from the top of the digit) to the
// panel, leaning the top right by kSlant.
QTransform digitTransform(int place, const DigitLayout& layout) {
    const qreal k = layout.slant / kDigitHeight;
    return QTransform(1, 0, -k, 1, layout.left[static_cast<std::size_t>(place)] + layout.slant, kDigitTop);
}

struct TextLook {
    QString text;
    int pixelSize;
    bool bold;
    int baseline;        // panel y of the text's baseline
    Qt::Alignment align;  // horizontal placement inside the element's box
    bool arial = false;
};

bool textLook(Lcd element, TextLook& look) {
    const Qt::Alignment left = Qt::AlignLeft, right = Qt::AlignRight;
    switch (element) {
    case Lcd::Dc1: look = {QStringLiteral("DC"), 21, true, 64, left}; return true;
    case Lcd::AC: look = {QStringLiteral("AC"), 21, true, 64, left}; return true;
    case Lcd::Auto: look = {QStringLiteral("Auto range"), 16, true, 146, left}; return true;
    case Lcd::Max: look = {QStringLiteral("MAX"), 16, true, 32, left, true}; return true;
    case Lcd::Min: look = {QStringLiteral("MIN"), 16, true, 32, left, true}; return true;
    // prefixes hug the unit sign on their right
    case Lcd::Nano: look = {QStringLiteral("n"), 24, true, 31, right}; return true;
    case Lcd::Micro: look = {QString(QChar(0x00B5)), 24, true, 31, right}; return true;
    case Lcd::Milli: look = {QStringLiteral("m"), 24, true, 31, right}; return true;
    // kilo and mega stand right next to the ohm sign so they read as one unit
    case Lcd::Kilo: look = {QStringLiteral("k"), 24, true, 98, right}; return true;
    case Lcd::Mega: look = {QStringLiteral("M"), 19, true, 98, right}; return true;
    case Lcd::Ohm: look = {QString(QChar(0x03A9)), 20, true, 98, left}; return true;
    case Lcd::BF: look = {QStringLiteral("%"), 21, true, 57, left}; return true;
    case Lcd::V: look = {QStringLiteral("V"), 24, true, 31, left}; return true;
    case Lcd::A: look = {QStringLiteral("A"), 24, true, 31, left}; return true;
    case Lcd::F: look = {QStringLiteral("F"), 24, true, 31, left}; return true;
    case Lcd::Hz: look = {QStringLiteral("Hz"), 24, true, 120, left}; return true;
    case Lcd::CS: look = {QStringLiteral("\u00B0C"), 22, true, 78, left}; return true;
    case Lcd::FS: look = {QStringLiteral("\u00B0F"), 22, true, 78, left}; return true;
    default: return false;
    }
}

QFont lookFont(const TextLook& look) {
    QFont font;
    font.setFamilies(look.arial ? QStringList{QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                                              QStringLiteral("DejaVu Sans")}
                                : QStringList{QStringLiteral("DejaVu Sans")});
    font.setPixelSize(look.pixelSize);
    font.setBold(look.bold);
    // MAX and MIN stand only 40 px apart
    if (look.arial) font.setStretch(QFont::SemiCondensed);
    return font;
}

// The text's outline placed in its box, ready to fill.
QPainterPath textPath(const QRect& box, const TextLook& look) {
    QPainterPath path;
    path.addText(0, 0, lookFont(look), look.text);
    const QRectF ink = path.boundingRect();
    const qreal x = (look.align & Qt::AlignRight) ? box.right() + 1 - ink.right()
                                                   : box.left() - ink.left();
    return path.translated(x, look.baseline);
}

void paintMinus(QPainter& p) {
    // Same thickness as the digits' middle segment, on the digits' centre line.
    const qreal v = kDigitTop + kDigitHeight / 2.0;
    p.drawPolygon(horizontalSegment(7, 33, v));
}

void paintHold(QPainter& p, const QRect& box) {
    // A boxed H, the usual hold mark on a meter's glass.
    const QRectF frame = QRectF(box).adjusted(1, 1, -1, -1);
    p.setPen(QPen(Qt::black, 2));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(frame, 3, 3);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    const qreal stem = 3.5, inset = 6.5, vInset = 5.0;
    const QRectF inner = frame.adjusted(inset, vInset, -inset, -vInset);
    p.drawRect(QRectF(inner.left(), inner.top(), stem, inner.height()));
    p.drawRect(QRectF(inner.right() - stem, inner.top(), stem, inner.height()));
    p.drawRect(QRectF(inner.left(), inner.center().y() - stem / 2, inner.width(), stem));
}

void paintBattery(QPainter& p, const QRect& box) {
    const QRectF body(box.left() + 1, box.top() + 2, box.width() - 6, box.height() - 4);
    p.setPen(QPen(Qt::black, 2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(body);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    const qreal nub = body.height() * 0.45;
    p.drawRect(QRectF(body.right() + 1, body.center().y() - nub / 2, 3, nub));
    // one low bar on the left: nearly empty
    p.drawRect(QRectF(body.left() + 3, body.top() + 3, 5, body.height() - 6));
}

void paintBeep(QPainter& p, const QRect& box) {
    // A loudspeaker with sound waves, in the upper part of its tall box.
    const qreal cy = box.top() + 14;
    const qreal x0 = box.left() + 1;
    QPainterPath speaker;
    speaker.addPolygon(QPolygonF({{x0, cy - 4}, {x0 + 4.5, cy - 4}, {x0 + 11, cy - 10},
                                  {x0 + 11, cy + 10}, {x0 + 4.5, cy + 4}, {x0, cy + 4}}));
    speaker.closeSubpath();
    p.drawPath(speaker);
    p.setPen(QPen(Qt::black, 2, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    for (qreal r : {5.5, 10.0}) {
        const QRectF arc(x0 + 12 - r, cy - r, 2 * r, 2 * r);
        p.drawArc(arc, -45 * 16, 90 * 16);
    }
}

void paintDiode(QPainter& p, const QRect& box) {
    const qreal cy = box.top() + 12;
    const qreal l = box.left(), r = box.right() + 1;
    const qreal half = 8.0;
    const qreal base = l + 7, tip = base + 14;
    p.setPen(QPen(Qt::black, 2));
    p.drawLine(QPointF(l, cy), QPointF(r, cy));
    p.setPen(Qt::NoPen);
    p.drawPolygon(QPolygonF({{base, cy - half}, {tip, cy}, {base, cy + half}}));
    p.drawRect(QRectF(tip, cy - half, 2.5, 2 * half));
}

// A picture drawn for the box at the device's pixel ratio, kept in
// "cached" until the ratio changes.
void paintPicture(QPainter& p, const QRect& box, QPixmap (*draw)(QSize), QPixmap& cached) {
    const qreal dpr = p.device()->devicePixelRatioF();
    if (cached.isNull() || !qFuzzyCompare(cached.devicePixelRatio(), dpr)) {
        cached = draw(QSize(qRound(box.width() * dpr), qRound(box.height() * dpr)));
        cached.setDevicePixelRatio(dpr);
    }
    p.drawPixmap(box.topLeft(), cached);
}

}  // namespace

LcdPanel::LcdPanel(QWidget* parent) : QFrame(parent), state_(LcdState::initial()) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
    setFixedSize(302, 162);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    setAutoFillBackground(true);
}

void LcdPanel::setState(const LcdState& state) { setState(state, Extras()); }

void LcdPanel::setState(const LcdState& state, const Extras& extras) {
    // Only what changed is repainted: a steady reading (the same frame several
    // times a second) costs nothing, a drifting one only its digits, and the
    // bevel and the bar that shares the panel's last row are left alone.
    // Every element keeps its ink within a pixel of its box.
    QRegion changed;
    for (int place = 0; place < 4; ++place)
        if (state.digits[static_cast<std::size_t>(place)] != state_.digits[static_cast<std::size_t>(place)])
            changed += digitRect(place, places_).adjusted(-1, -1, 1, 1);
    if (extras.digit5 != extras_.digit5) changed += digitRect(4, places_).adjusted(-1, -1, 1, 1);
    const auto flipped = state.on ^ state_.on;
    for (std::size_t i = 0; i < meterlink::kLcdIndicatorCount; ++i)
        if (flipped.test(i))
            changed += elementRect(static_cast<Lcd>(i), places_).adjusted(-1, -1, 1, 1);
    const auto extraFlipped = extras.on ^ extras_.on;
    for (std::size_t i = 0; i < kExtraCount; ++i)
        if (extraFlipped.test(i)) changed += extraRect(static_cast<Extra>(i), places_).adjusted(-1, -1, 1, 1);
    state_ = state;
    extras_ = extras;
    if (!changed.isEmpty())
        update(changed);
}

void LcdPanel::setDigitPlaces(int places) {
    places = places == 5 ? 5 : 4;
    if (places == places_) return;
    places_ = places;
    // Digit rasters were made for the other width.
    ink_.clear();
    update();
}

QRect LcdPanel::digitRect(int place, int places) {
    const DigitLayout& layout = layoutFor(places);
    if (place < 0 || place >= layout.places) return {};
    return {layout.left[static_cast<std::size_t>(place)], kDigitTop, layout.boxWidth, kDigitHeight};
}

QRect LcdPanel::elementRect(Lcd element, int places) {
    const DigitLayout& layout = layoutFor(places);
    // A decimal mark stands right after its digit's box; the four-place
    // marks keep the places of the design.
    const auto mark = [&](int after) -> QRect {
        if (after >= layout.places) return {};
        if (layout.places == 4) {
            static constexpr std::array<int, 3> kLeft{79, 127, 176};
            return {kLeft[static_cast<std::size_t>(after - 1)], 113, after == 3 ? 9 : 7, 8};
        }
        return {layout.left[static_cast<std::size_t>(after - 1)] + layout.boxWidth, 113, layout.markWidth, 8};
    };
    switch (element) {
    case Lcd::FH: return {5, 36, 28, 112};
    case Lcd::P1: return mark(1);
    case Lcd::P2: return mark(2);
    case Lcd::P3: return mark(3);
    case Lcd::AC: return {6, 46, 34, 22};
    case Lcd::Dc1: return {5, 46, 34, 22};
    case Lcd::Auto: return {56, 131, 104, 20};
    case Lcd::REL: return {129, 10, 24, 24};
    case Lcd::Hold: return {8, 100, 26, 24};
    case Lcd::Max: return {52, 18, 38, 16};
    case Lcd::Min: return {92, 18, 34, 16};
    case Lcd::Batt: return {258, 5, 38, 20};
    case Lcd::Nano: return {208, 14, 24, 20};
    case Lcd::Micro: return {208, 14, 24, 24};
    case Lcd::Milli: return {208, 14, 24, 20};
    case Lcd::Kilo: return {238, 76, 24, 24};
    case Lcd::Mega: return {238, 81, 24, 19};
    case Lcd::Fm: return {176, 8, 25, 36};
    case Lcd::DI: return {176, 10, 29, 24};
    case Lcd::BF: return {248, 40, 24, 20};
    case Lcd::V:
    case Lcd::A:
    case Lcd::F: return {232, 10, 22, 24};
    case Lcd::Ohm: return {264, 81, 20, 19};
    case Lcd::Hz: return {248, 98, 36, 24};
    case Lcd::CS: return {240, 57, 30, 24};
    case Lcd::FS: return {256, 57, 30, 24};
    case Lcd::Send: return {5, 4, 36, 29};
    case Lcd::Count: break;
    }
    return {};
}

QRect LcdPanel::extraRect(Extra extra, int places) {
    switch (extra) {
    case Extra::P4: {
        const DigitLayout& layout = layoutFor(places);
        if (layout.places < 5) return {};
        return {layout.left[3] + layout.boxWidth, 113, layout.markWidth, 8};
    }
    // The bottom row right of "Auto range" is free on the shipped meter's glass.
    case Extra::Apo: return {162, 144, 30, 15};
    case Extra::PeakMax: return {198, 144, 40, 15};
    case Extra::PeakMin: return {242, 144, 40, 15};
    case Extra::Beep: return elementRect(Lcd::Fm, places);
    case Extra::Count: break;
    }
    return {};
}

char LcdPanel::digit(int place) const {
    if (place == 4) return extras_.digit5;
    if (place < 0 || place > 3) return '\0';
    return state_.digits[static_cast<std::size_t>(place)];
}

void LcdPanel::drawInk(QPainter& p, quint32 key, const std::function<QPainterPath()>& makePath) {
    const qreal dpr = p.device()->devicePixelRatioF();
    Ink& ink = ink_[key];
    if (ink.raster.isNull() || !qFuzzyCompare(ink.raster.devicePixelRatio(), dpr)) {
        const QPainterPath path = makePath();
        // A whole-pixel origin keeps the outline at its sub-pixel position.
        const QRectF bounds = path.boundingRect();
        ink.origin = QPoint(qFloor(bounds.left()), qFloor(bounds.top()));
        const QSize size(qCeil(bounds.right()) - ink.origin.x() + 1, qCeil(bounds.bottom()) - ink.origin.y() + 1);
        ink.raster = QPixmap(size * dpr);
        ink.raster.setDevicePixelRatio(dpr);
        ink.raster.fill(Qt::transparent);
        QPainter rp(&ink.raster);
        rp.setRenderHint(QPainter::Antialiasing);
        rp.translate(-ink.origin);
        rp.fillPath(path, Qt::black);
    }
    p.drawPixmap(ink.origin, ink.raster);
}

void LcdPanel::paintEvent(QPaintEvent* event) {
    // The bevel; most repaints are a digit or two well inside it.
    if (!contentsRect().contains(event->rect()))
        QFrame::paintEvent(event);
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    // What lies outside the repainted region would be clipped away anyway.
    const QRegion& dirty = event->region();

    const DigitLayout& layout = layoutFor(places_);
    for (int place = 0; place < places_; ++place) {
        const unsigned segments = segmentsOf(digit(place));
        if (segments && dirty.intersects(digitRect(place, places_).adjusted(-1, -1, 1, 1)))
            drawInk(p, kDigitInkKey + static_cast<quint32>(place) * 128u + segments,
                    [&] { return digitTransform(place, layout).map(digitPath(segments, layout)); });
    }

    for (std::size_t i = 0; i < meterlink::kLcdIndicatorCount; ++i) {
        const auto element = static_cast<Lcd>(i);
        if (!state_.shown(element)) continue;
        const QRect box = elementRect(element, places_);
        if (box.isEmpty()) continue;
        if (!dirty.intersects(box.adjusted(-1, -1, 1, 1))) continue;
        p.save();
        TextLook look;
        if (textLook(element, look)) {
            drawInk(p, static_cast<quint32>(i), [&] { return textPath(box, look); });
        } else {
            switch (element) {
            case Lcd::FH: paintMinus(p); break;
            case Lcd::P1:
            case Lcd::P2:
            case Lcd::P3:
                // the same square for all; the third box of four places is
                // wider but its right edge would touch the last digit
                p.fillRect(QRect(box.topLeft(), QSize(layout.markWidth, box.height())), Qt::black);
                break;
            case Lcd::Hold: paintHold(p, box); break;
            case Lcd::Batt: paintBattery(p, box); break;
            case Lcd::Fm: paintBeep(p, box); break;
            case Lcd::DI: paintDiode(p, box); break;
            case Lcd::REL: paintPicture(p, box, deltaPicture, pictures_[i]); break;
            case Lcd::Send: paintPicture(p, box, sendPicture, pictures_[i]); break;
            default: break;
            }
        }
        p.restore();
    }
    for (std::size_t i = 0; i < kExtraCount; ++i) {
        const auto extra = static_cast<Extra>(i);
        const QRect box = extraRect(extra, places_);
        if (!extras_.shown(extra) || box.isEmpty() || !dirty.intersects(box.adjusted(-1, -1, 1, 1))) continue;
        p.save();
        switch (extra) {
        case Extra::P4: p.fillRect(QRect(box.topLeft(), QSize(layout.markWidth, box.height())), Qt::black); break;
        case Extra::Beep: paintBeep(p, box); break;
        default: {
            static const QString kTexts[] = {QString(), QStringLiteral("PMAX"), QStringLiteral("PMIN"),
                                             QStringLiteral("APO")};
            const TextLook look{kTexts[i], 13, true, box.bottom() - 1, Qt::AlignLeft, true};
            drawInk(p, 0x800u + static_cast<quint32>(i), [&] { return textPath(box, look); });
        }
        }
        p.restore();
    }
}
