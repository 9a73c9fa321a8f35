#include "app/circle_shape.h"
#include "app/limit_panel.h"

#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using meterlink::Verdict;

namespace {

QColor lampColor(const LimitPanel& panel) { return panel.Shape1()->brushColor(); }

class LimitPanelTest : public ::testing::Test {
protected:
    LimitPanelTest() { panel.setSeparators(QStringLiteral("."), QStringLiteral("."), QStringLiteral(".")); }

    void setLimits(const char* high, const char* low) {
        panel.T1HI()->setText(QString::fromUtf8(high));
        panel.T1LO()->setText(QString::fromUtf8(low));
    }

    LimitPanel panel;
};

TEST_F(LimitPanelTest, JudgesReadingsAgainstInclusiveLimits) {
    const struct {
        const char* value;
        const char* high;
        const char* low;
        const char* sep;
        Verdict expected;
    } cases[] = {
        {"5.999", "6000", "-6000", ".", Verdict::Pass},
        {"6000", "6000", "-6000", ".", Verdict::Pass},     // equal to the high limit
        {"-6000", "6000", "-6000", ".", Verdict::Pass},    // equal to the low limit
        {"6000.1", "6000", "-6000", ".", Verdict::Fail},
        {"-6000.1", "6000", "-6000", ".", Verdict::Fail},
        {"0.L", "6000", "-6000", ".", Verdict::Fail},      // overload
        {"1.000", "-1", "1", ".", Verdict::Fail},          // low above high fails everything
        {"5,999", "6000", "-6000", ",", Verdict::Pass},
        {"5,999", "5,5", "-6000", ",", Verdict::Fail},
        {"5.999", "", "-6000", ".", Verdict::Unchanged},
        {"5.999", "6000", "-999999", ".", Verdict::Unchanged},   // the parse default is no number
        {"5.999", "6,5", "-6000", ".", Verdict::Unchanged},      // the other separator
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.value) + " in [" + c.low + ", " + c.high + "] sep " + c.sep);
        const QString sep = QString::fromLatin1(c.sep);
        panel.setSeparators(sep, sep, sep);
        // Start from the opposite look, so a stale one cannot pass for the verdict.
        setLimits("6000", "-6000");
        panel.judgeReading(c.expected == Verdict::Pass ? QStringLiteral("7000") : QStringLiteral("0"));
        const QString before = panel.judge()->text();

        setLimits(c.high, c.low);
        EXPECT_EQ(panel.judgeReading(QString::fromUtf8(c.value)), c.expected);
        EXPECT_EQ(panel.T1VALUE()->text(), QString::fromUtf8(c.value));
        const QString caption = c.expected == Verdict::Unchanged ? before : QString::fromLatin1(meterlink::judgeCaption(c.expected));
        EXPECT_EQ(panel.judge()->text(), caption);
        const QColor color = caption == QLatin1String("Pass") ? LimitPanel::passColor() : LimitPanel::failColor();
        EXPECT_EQ(lampColor(panel), color);
        EXPECT_EQ(panel.judge()->palette().color(QPalette::Window), color);
        EXPECT_EQ(panel.T1VALUE()->palette().color(QPalette::Base), color);
    }
}

TEST_F(LimitPanelTest, BeforeAnyReadingTheLampIsUnlit) {
    EXPECT_EQ(panel.T1VALUE()->text(), QStringLiteral("0"));
    EXPECT_TRUE(panel.judge()->text().isEmpty());
    EXPECT_NE(lampColor(panel), LimitPanel::passColor());
    EXPECT_NE(lampColor(panel), LimitPanel::failColor());
    EXPECT_EQ(panel.GoodHighText(), QStringLiteral("6000"));
    EXPECT_EQ(panel.GoodLowText(), QStringLiteral("-6000"));
}

TEST_F(LimitPanelTest, TheMeasuredValueCannotBeTypedOver) {
    panel.show();
    panel.judgeReading(QStringLiteral("1.234"));
    panel.T1VALUE()->setFocus();
    QTest::keyClicks(panel.T1VALUE(), QStringLiteral("99"));
    QTest::keyClick(panel.T1VALUE(), Qt::Key_Backspace);
    EXPECT_EQ(panel.T1VALUE()->text(), QStringLiteral("1.234"));
}

TEST_F(LimitPanelTest, RewritesTheFirstForeignSeparatorOfEachLimit) {
    const struct {
        const char* sep;
        const char* before;
        const char* after;
    } cases[] = {
        {",", "1.5", "1,5"},
        {".", "1,5", "1.5"},
        {",", "1.5.5", "1,5.5"},
        {".", "1.5", "1.5"},
        {",", "-2", "-2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.before) + " with separator " + c.sep);
        const QString sep = QString::fromLatin1(c.sep);
        panel.setSeparators(sep, sep, sep);
        setLimits(c.before, c.before);
        panel.fixSeparators();
        EXPECT_EQ(panel.T1HI()->text(), QString::fromLatin1(c.after));
        EXPECT_EQ(panel.T1LO()->text(), QString::fromLatin1(c.after));
    }
}

TEST_F(LimitPanelTest, KeyFilterLetsOnlyNumberCharactersIn) {
    const struct {
        const char* text;
        char key;
        const char* systemSep;
        const char* userSep;
        const char* after;
    } cases[] = {
        {"12", '3', ".", ".", "123"},
        {"12", '-', ".", ".", "12-"},
        {"12", '+', ".", ".", "12+"},
        {"12", '\'', ".", ".", "12'"},
        {"12", '`', ".", ".", "12`"},
        {"12", '.', ".", ".", "12."},
        {"12", 'a', ".", ".", "12"},
        {"12", ' ', ".", ".", "12 "},    // a unit may follow
        {"12", 'V', ".", ".", "12V"},
        {"12", 'x', ".", ".", "12"},
        {"12", 'e', ".", ".", "12"},
        {"1.2", '.', ".", ".", "1.2"},   // no second separator
        {"12", ',', ".", ".", "12."},    // the other mark becomes the user's separator
        {"12", ',', ".", ",", "12,"},
        {"12", '.', ",", ",", "12,"},    // 4.5 typed under a comma locale is 4,5, not 45
        {"1,2", ',', ",", ",", "1,2"},
        {"1,2", '.', ",", ",", "1,2"},
        {"1,2", '.', ",", ".", "1,2"},   // the foreign mark still counts as one
    };
    for (QLineEdit* edit : {panel.T1HI(), panel.T1LO()}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(edit->objectName().toStdString() + ": '" + c.key + "' after " + c.text + " user sep " +
                         c.userSep);
            panel.setSeparators(QString::fromLatin1(c.systemSep), QString::fromLatin1(c.userSep),
                                QString::fromLatin1(c.userSep));
            edit->setText(QString::fromLatin1(c.text));
            QTest::keyClick(edit, c.key);
            EXPECT_EQ(edit->text(), QString::fromLatin1(c.after));
        }
        edit->setText(QStringLiteral("12"));
        QTest::keyClick(edit, Qt::Key_Backspace);
        EXPECT_EQ(edit->text(), QStringLiteral("1"));
    }
}

TEST_F(LimitPanelTest, ValidationRestoresTheLastValidLimit) {
    const struct {
        const char* typed;
        const char* shown;   // after the validation timer
    } cases[] = {
        {"", "6000"}, {"-999999", "6000"}, {"-", "6000"}, {"5000", "5000"}, {"", "5000"}, {"1e3", "1e3"},
    };
    struct Edit {
        QLineEdit* edit;
        QTimer* timer;
        const QString& (LimitPanel::*good)() const;
    };
    for (const Edit& e : {Edit{panel.T1HI(), panel.Timer1(), &LimitPanel::GoodHighText},
                          Edit{panel.T1LO(), panel.Timer4(), &LimitPanel::GoodLowText}}) {
        // Both edits start from the same valid text.
        e.edit->setText(QStringLiteral("6000"));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !e.timer->isActive(); }));
        ASSERT_EQ((panel.*e.good)(), QStringLiteral("6000"));
        for (const auto& c : cases) {
            SCOPED_TRACE(e.edit->objectName().toStdString() + " typed \"" + c.typed + "\"");
            e.edit->setText(QString::fromLatin1(c.typed));
            EXPECT_TRUE(e.timer->isActive());
            EXPECT_TRUE(QTest::qWaitFor([&] { return !e.timer->isActive(); }));
            EXPECT_EQ(e.edit->text(), QString::fromLatin1(c.shown));
            EXPECT_EQ((panel.*e.good)(), QString::fromLatin1(c.shown));
        }
    }
}

TEST_F(LimitPanelTest, AnInvalidLimitStopsJudgingUntilItIsRestored) {
    panel.judgeReading(QStringLiteral("5.999"));
    ASSERT_EQ(panel.judge()->text(), QStringLiteral("Pass"));
    panel.T1HI()->setText(QString());
    EXPECT_EQ(panel.judgeReading(QStringLiteral("7000")), Verdict::Unchanged);
    EXPECT_EQ(panel.judge()->text(), QStringLiteral("Pass"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !panel.Timer1()->isActive(); }));
    EXPECT_EQ(panel.judgeReading(QStringLiteral("7000")), Verdict::Fail);
}

}  // namespace
