#include "app/link_indicator.h"

#include <QWidget>

#include <gtest/gtest.h>

namespace {

struct IndicatorAt {
    QWidget parent;
    qint64 now = 0;
    LinkIndicator link{&parent, {0, 0}};
    IndicatorAt() { link.setClock([this] { return now; }); }
    // The moment of the tick that finds the link idle.
    qint64 idleTickMs() const { return now + link.msUntilIdleTick(); }
};

TEST(LinkIndicatorTicks, TheThirdCountedTickAfterAFrameFindsTheLinkIdle) {
    const struct {
        qint64 frameMs;
        qint64 idleMs;
    } cases[] = {
        {1000, 1300},
        {1050, 1300},   // the tick of 1100 is 50 ms after the frame: counted
        {1051, 1400},   // 49 ms after: the frame's own tick
        {1099, 1400},
    };
    for (const auto& c : cases) {
        IndicatorAt at;
        at.now = c.frameMs;
        at.link.frameDecoded();
        EXPECT_EQ(at.idleTickMs(), c.idleMs) << "frame at " << c.frameMs;
        at.now = c.idleMs - 1;
        EXPECT_FALSE(at.link.idleTickDue());
        EXPECT_EQ(at.link.LinkIdleTicks(), 2);
        at.now = c.idleMs;
        EXPECT_TRUE(at.link.idleTickDue());
        EXPECT_TRUE(at.link.active());
    }
}

TEST(LinkIndicatorTicks, CountsAgainFromTheIdleTickThatIsHandled) {
    IndicatorAt at;
    at.now = 1000;
    at.link.frameDecoded();
    at.now = 1100;
    EXPECT_EQ(at.link.LinkIdleTicks(), 1);
    at.now = 1305;   // handled a little after its moment
    ASSERT_TRUE(at.link.idleTickDue());
    at.link.showIdle();
    EXPECT_FALSE(at.link.active());
    EXPECT_EQ(at.link.LinkIdleTicks(), 0);
    EXPECT_EQ(at.idleTickMs(), 1600);   // hidden again every 300 ms while nothing comes
    // Handled late, after a message box: counted from then, nothing to catch up.
    at.now = 2750;
    ASSERT_TRUE(at.link.idleTickDue());
    at.link.showIdle();
    EXPECT_EQ(at.idleTickMs(), 3000);
}

}  // namespace
