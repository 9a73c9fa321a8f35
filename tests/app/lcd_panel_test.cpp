#include "app/lcd_panel.h"
#include "app/link_pictures.h"
#include "recording/unit_text.h"

#include <QDir>
#include <QPaintEvent>
#include <QScreen>
#include <QTest>
#include <QImage>
#include <QPixmap>

#include <gtest/gtest.h>

#include <array>
#include <initializer_list>
#include <string>
#include <vector>

using meterlink::Lcd;
using meterlink::LcdState;

namespace {

TEST(UnitDisplayText, ShowsStoredUnitSignsAsPeopleReadThem) {
    const struct {
        const char* stored;
        const char* shown;
    } cases[] = {
        {"*", "\u03A9"},  {"k*", "k\u03A9"}, {"M*", "M\u03A9"}, {"#", "\u00B0C"},
        {"?", "\u00B0F"}, {"uA", "\u00B5A"}, {"uF", "\u00B5F"}, {"uV", "\u00B5V"},
        {"mV", "mV"},     {"nF", "nF"},      {"Hz", "Hz"},      {"%", "%"},
        {"V", "V"},       {"", ""},
    };
    for (const auto& c : cases) {
        const QString shown = unitDisplayText(QString::fromUtf8(c.stored));
        EXPECT_EQ(shown, QString::fromUtf8(c.shown)) << c.stored;
        // What normalisation would make of it already: texts compare and search alike.
        EXPECT_EQ(shown, shown.normalized(QString::NormalizationForm_C)) << c.stored;
    }
}

bool isDark(QRgb pixel) { return qGray(pixel) < 128; }

bool anyDark(const QImage& image, const QRect& area) {
    const QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (isDark(image.pixel(x, y))) return true;
    return false;
}

// Screenshots for a person to look at; the tests judge the pixels themselves.
QString artifact(const QString& fileName) {
    QDir().mkpath(QStringLiteral(METERLINK_ARTIFACTS));
    return QStringLiteral(METERLINK_ARTIFACTS "/") + fileName;
}

using Extra = LcdPanel::Extra;

QImage render(const LcdState& state, const std::string& name = {}, int places = 4,
              const LcdPanel::Extras& extras = {}) {
    LcdPanel panel;
    panel.setDigitPlaces(places);
    panel.setState(state, extras);
    const QImage image = panel.grab().toImage();
    if (!name.empty()) image.save(artifact(QStringLiteral("lcd_%1.png").arg(QString::fromStdString(name))));
    return image;
}

char placeDigit(char c) { return c == '_' ? '\0' : c; }

// digits: one character a place, '_' for a blank place.
LcdState makeState(std::initializer_list<Lcd> shown, const std::string& digits) {
    LcdState s;
    for (Lcd element : shown) s.set(element);
    for (std::size_t i = 0; i < digits.size() && i < s.digits.size(); ++i)
        s.digits[i] = placeDigit(digits[i]);
    return s;
}

LcdPanel::Extras makeExtras(std::initializer_list<Extra> shown, char digit5) {
    LcdPanel::Extras e;
    for (Extra x : shown) e.on.set(static_cast<std::size_t>(x));
    e.digit5 = placeDigit(digit5);
    return e;
}

struct NamedState {
    std::string name;
    LcdState state;
    int places = 4;
    LcdPanel::Extras extras{};
};

std::vector<NamedState> sampleStates() {
    std::vector<NamedState> states;
    states.push_back({"initial", LcdState::initial()});
    states.push_back({"dc_volt_auto", makeState({Lcd::Send, Lcd::Dc1, Lcd::Auto, Lcd::V, Lcd::P1}, "5999")});
    states.push_back({"kohm_hold_rel_max_batt",
                      makeState({Lcd::Send, Lcd::Kilo, Lcd::Ohm, Lcd::P2, Lcd::Hold, Lcd::REL, Lcd::Max, Lcd::Batt},
                                "1234")});
    states.push_back({"overload", makeState({Lcd::Send, Lcd::Mega, Lcd::Ohm, Lcd::P2, Lcd::Auto, Lcd::FH},
                                            "_0@_")});
    states.push_back({"diode", makeState({Lcd::Send, Lcd::DI, Lcd::V, Lcd::P1}, "0562")});
    states.push_back({"micro_amp_ac_min", makeState({Lcd::Send, Lcd::AC, Lcd::Micro, Lcd::A, Lcd::Min, Lcd::P3},
                                                    "3470")});
    states.push_back({"celsius_beep", makeState({Lcd::Send, Lcd::CS, Lcd::Fm}, "0025")});
    LcdState all;
    all.on.set();
    all.digits = {'8', '8', '8', '8'};
    states.push_back({"all", all});
    // A meter of more than 9999 counts: five places and a fourth mark.
    states.push_back({"five_places_dc_volt", makeState({Lcd::Send, Lcd::Dc1, Lcd::Auto, Lcd::V, Lcd::P1}, "2199"), 5,
                      makeExtras({}, '9')});
    states.push_back({"five_places_mv_point4_apo_peak",
                      makeState({Lcd::Send, Lcd::Dc1, Lcd::Milli, Lcd::V, Lcd::FH}, "1234"), 5,
                      makeExtras({Extra::P4, Extra::Apo, Extra::PeakMax}, '5')});
    states.push_back({"five_places_overload", makeState({Lcd::Send, Lcd::Ohm, Lcd::P3}, "__0@"), 5, makeExtras({}, '_')});
    LcdPanel::Extras allExtras;
    allExtras.on.set();
    allExtras.digit5 = '8';
    states.push_back({"five_places_all", all, 5, allExtras});
    states.push_back({"four_places_all_extras", all, 4, allExtras});
    return states;
}

// Every shown element leaves ink inside its own box, and nothing is drawn
// outside the boxes of what is shown: a symbol painted at the wrong place, or
// a hidden one painted anyway, lands on white.
// A mark the display does not have (the fourth of four places) is not drawn.
void expectInkOnlyWhereShown(const QImage& image, const LcdState& state, int places = 4,
                             const LcdPanel::Extras& extras = {}) {
    ASSERT_EQ(image.size(), QSize(302, 162));
    std::vector<QRect> inked;
    for (std::size_t i = 0; i < meterlink::kLcdIndicatorCount; ++i) {
        const auto element = static_cast<Lcd>(i);
        const QRect box = LcdPanel::elementRect(element, places);
        if (!state.shown(element) || box.isEmpty()) continue;
        EXPECT_TRUE(anyDark(image, box)) << "element " << i << " not drawn";
        inked.push_back(box.adjusted(-1, -1, 1, 1));
    }
    for (std::size_t i = 0; i < LcdPanel::kExtraCount; ++i) {
        const QRect box = LcdPanel::extraRect(static_cast<Extra>(i), places);
        if (!extras.on.test(i) || box.isEmpty()) continue;
        EXPECT_TRUE(anyDark(image, box)) << "extra " << i << " not drawn";
        inked.push_back(box.adjusted(-1, -1, 1, 1));
    }
    for (int place = 0; place < places; ++place) {
        const bool blank = (place == 4 ? extras.digit5 : state.digits[static_cast<std::size_t>(place)]) == '\0';
        if (blank) continue;
        EXPECT_TRUE(anyDark(image, LcdPanel::digitRect(place, places))) << "digit place " << place;
        inked.push_back(LcdPanel::digitRect(place, places).adjusted(-1, -1, 1, 1));
    }

    const QRect inside = image.rect().adjusted(2, 2, -2, -2);   // within the bevel
    int stray = 0;
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x) {
            if (qGray(image.pixel(x, y)) > 230) continue;
            bool covered = false;
            for (const QRect& r : inked) covered = covered || r.contains(x, y);
            if (!covered) ++stray;
        }
    EXPECT_EQ(stray, 0) << "ink outside the shown elements";
}

TEST(LcdPanel, DrawsEachIndicatorAloneInsideItsBox) {
    for (int places : {4, 5}) {
        for (std::size_t i = 0; i < meterlink::kLcdIndicatorCount; ++i) {
            SCOPED_TRACE("element " + std::to_string(i) + " of " + std::to_string(places) + " places");
            LcdState state;
            state.set(static_cast<Lcd>(i));
            expectInkOnlyWhereShown(render(state, {}, places), state, places);
        }
        for (std::size_t i = 0; i < LcdPanel::kExtraCount; ++i) {
            SCOPED_TRACE("extra " + std::to_string(i) + " of " + std::to_string(places) + " places");
            LcdPanel::Extras extras;
            extras.on.set(i);
            expectInkOnlyWhereShown(render(LcdState{}, {}, places, extras), LcdState{}, places, extras);
        }
    }
}

TEST(LcdPanel, DrawsReadingsAtTheirPlacesAndNothingElse) {
    for (const auto& [name, state, places, extras] : sampleStates()) {
        SCOPED_TRACE(name);
        expectInkOnlyWhereShown(render(state, name, places, extras), state, places, extras);
    }
}

// Five places stay clear of each other, of the marks and of the units.
TEST(LcdPanel, FivePlacesFitBetweenTheSignAndTheUnits) {
    for (int place = 0; place < 5; ++place) {
        const QRect digit = LcdPanel::digitRect(place, 5);
        EXPECT_GT(digit.left(), LcdPanel::elementRect(Lcd::FH).right()) << place;
        EXPECT_LT(digit.right(), LcdPanel::elementRect(Lcd::Milli).left()) << place;
        if (place < 4) {
            static constexpr Lcd kMarks[] = {Lcd::P1, Lcd::P2, Lcd::P3};
            const QRect mark =
                place < 3 ? LcdPanel::elementRect(kMarks[place], 5) : LcdPanel::extraRect(Extra::P4, 5);
            EXPECT_FALSE(mark.isEmpty());
            EXPECT_GT(mark.left(), digit.left());
            EXPECT_LT(mark.right(), LcdPanel::digitRect(place + 1, 5).left());
        }
    }
    EXPECT_TRUE(LcdPanel::extraRect(Extra::P4, 4).isEmpty());
    EXPECT_TRUE(LcdPanel::digitRect(4, 4).isEmpty());
}

// Rows through a digit box cut the segments apart: the top, middle and bottom
// bars in the central third, the upper and lower verticals in the left or
// right half.
TEST(LcdPanel, DigitsLightTheirSevenSegments) {
    const struct {
        char digit;
        const char* segments;   // of "abcdefg" those that are lit
    } cases[] = {
        {'0', "abcdef"}, {'1', "bc"},    {'2', "abdeg"},  {'3', "abcdg"},   {'4', "bcfg"}, {'5', "acdfg"},
        {'6', "acdefg"}, {'7', "abc"},   {'8', "abcdefg"}, {'9', "abcdfg"}, {'@', "def"},  {'\0', ""},
    };
    for (const auto& c : cases) {
      for (int places : {4, 5}) {
        LcdState state;
        state.digits.fill(c.digit);
        const QImage image = render(state, {}, places, makeExtras({}, c.digit));
        for (int place = 0; place < places; ++place) {
            const QRect r = LcdPanel::digitRect(place, places);
            const int w = r.width(), h = r.height();
            auto row = [&](int dy, int x0, int x1) { return anyDark(image, QRect(r.left() + x0, r.top() + dy, x1 - x0, 1)); };
            const std::string expected = c.segments;
            std::string lit;
            if (row(2, w / 3, 2 * w / 3)) lit += 'a';
            if (row(h / 4, w / 2, w)) lit += 'b';
            if (row(3 * h / 4, w / 2, w)) lit += 'c';
            if (row(h - 3, w / 3, 2 * w / 3)) lit += 'd';
            if (row(3 * h / 4, 0, w / 2)) lit += 'e';
            if (row(h / 4, 0, w / 2)) lit += 'f';
            if (row(h / 2, w / 3, 2 * w / 3)) lit += 'g';
            EXPECT_EQ(lit, expected) << "digit '" << c.digit << "' at place " << place << " of " << places;
        }
      }
    }
}

// Collects the regions the panel repaints.
class PaintSpy : public QObject {
public:
    explicit PaintSpy(QWidget& widget) { widget.installEventFilter(this); }
    QRegion painted;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) painted += static_cast<QPaintEvent*>(event)->region();
        return false;
    }
};

// A new reading repaints what changed and nothing else (not the bevel, not
// the last row that the bar below shares), and leaves the panel showing
// exactly the new reading: no ink of the old one stays behind.
TEST(LcdPanel, RepaintsOnlyWhatChangedAndLeavesNothingStale) {
    const LcdState before =
        makeState({Lcd::Send, Lcd::AC, Lcd::Kilo, Lcd::Ohm, Lcd::P2, Lcd::Hold, Lcd::Max}, "1234");
    const LcdState after = makeState({Lcd::Send, Lcd::Dc1, Lcd::V, Lcd::P1, Lcd::Auto, Lcd::Max}, "129@");
    LcdPanel panel;
    panel.setState(before);
    panel.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    QTest::qWait(50);   // the first full paint is done

    PaintSpy spy(panel);
    panel.setState(after);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !spy.painted.isEmpty(); }));
    for (Lcd changed : {Lcd::AC, Lcd::Dc1, Lcd::Kilo, Lcd::Ohm, Lcd::V, Lcd::P1, Lcd::P2, Lcd::Hold, Lcd::Auto})
        EXPECT_TRUE(spy.painted.contains(LcdPanel::elementRect(changed))) << "element " << static_cast<int>(changed);
    EXPECT_TRUE(spy.painted.contains(LcdPanel::digitRect(2)));
    EXPECT_TRUE(spy.painted.contains(LcdPanel::digitRect(3)));
    // The first digit did not change (its last column borders the decimal mark after it).
    EXPECT_FALSE(spy.painted.intersects(LcdPanel::digitRect(0).adjusted(0, 0, -2, 0)));
    EXPECT_FALSE(spy.painted.intersects(LcdPanel::elementRect(Lcd::Max)));
    EXPECT_FALSE(spy.painted.intersects(QRect(0, panel.height() - 1, panel.width(), 1)));

    const QImage shown = panel.screen()->grabWindow(panel.winId()).toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shown, render(after).convertToFormat(QImage::Format_RGB32));

    // The same reading again repaints nothing.
    spy.painted = QRegion();
    panel.setState(after);
    QTest::qWait(50);
    EXPECT_TRUE(spy.painted.isEmpty());
}

TEST(LinkPictures, IdleAndActiveLinkDifferAndPicturesHaveTheAskedSize) {
    const QImage active = linkPicture(true).toImage();
    const QImage idle = linkPicture(false).toImage();
    EXPECT_EQ(active.size(), QSize(36, 29));
    EXPECT_NE(active, idle);
    EXPECT_EQ(sendPicture(QSize(72, 58)).size(), QSize(72, 58));
    EXPECT_EQ(applicationIcon(48).size(), QSize(48, 48));
    linkPicture(true, {144, 116}).save(artifact(QStringLiteral("link_active.png")));
    linkPicture(false, {144, 116}).save(artifact(QStringLiteral("link_idle.png")));
    sendPicture({144, 116}).save(artifact(QStringLiteral("send.png")));
    applicationIcon(128).save(artifact(QStringLiteral("app_icon.png")));
}

}  // namespace
