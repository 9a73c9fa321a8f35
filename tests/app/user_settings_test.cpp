// What the user sets outlives the window, and a reset forgets it. Every test
// runs against a scratch settings store (see the test main).

#include "app/chart_toolbar.h"
#include "app/connection_control.h"
#include "app/limit_panel.h"
#include "app/port_panel.h"
#include "app/record_bar.h"
#include "app/record_menu.h"
#include "app/tfcomm.h"
#include "app/user_settings.h"
#include "app/program_identity.h"
#include "window_test_support.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QProcess>
#include <QSettings>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace {

struct Seen {
    QString high, low;
    std::int32_t recordLimit;
    bool limitItemChecked;
    int pageSize;
    QString pageSizeShown;
    int samplingMs;
    bool sampling, repeat;
    TSerialPortDriver::TComPortNumber port;
    bool portPanelShown;
};

Seen seen(TFCOMM& w, int limitItem, int port) {
    return {w.limits().T1HI()->text(),
            w.limits().T1LO()->text(),
            w.logger().RecordLimit(),
            w.recordMenu()->limitItem(limitItem)->isChecked(),
            w.ChartPager().FPageSize(),
            w.chartToolbar()->Maxrecord()->text(),
            w.recordBar()->Timer3()->interval(),
            w.recordBar()->RecordSI()->isChecked(),
            w.recordBar()->RepeatSet()->isChecked(),
            w.COMM2().ComPort(),
            w.connection().visiblePortPanel() == w.connection().BtCOM(port)};
}

void expectSeen(const Seen& s, const Seen& want) {
    EXPECT_EQ(s.high, want.high);
    EXPECT_EQ(s.low, want.low);
    EXPECT_EQ(s.recordLimit, want.recordLimit);
    EXPECT_TRUE(s.limitItemChecked);
    EXPECT_EQ(s.pageSize, want.pageSize);
    EXPECT_EQ(s.pageSizeShown, want.pageSizeShown);
    EXPECT_EQ(s.samplingMs, want.samplingMs);
    EXPECT_EQ(s.sampling, want.sampling);
    EXPECT_EQ(s.repeat, want.repeat);
    EXPECT_EQ(s.port, want.port);
    EXPECT_TRUE(s.portPanelShown);
}

const Seen kDefaults{"6000", "-6000", 10000, true, 100, "100", 1000, false, true, TSerialPortDriver::pnCOM1, true};
const Seen kChanged{"5.5", "4.5", 1000, true, 50, "50", 5000, true, false, TSerialPortDriver::pnCOM3, true};

TEST(UserSettings, WhatTheUserSetIsThereInTheNextRunAndResetForgetsIt) {
    {
        TFCOMM w;
        expectSeen(seen(w, 2, 1), kDefaults);
        w.limits().T1HI()->setText(QStringLiteral("5.5"));
        w.limits().T1LO()->setText(QStringLiteral("4.5"));
        w.recordMenu()->limitItem(0)->trigger();
        w.chartToolbar()->Maxrecord()->setText(QStringLiteral("50"));
        w.recordBar()->RecordSITime()->setText(QStringLiteral("5"));
        w.recordBar()->RecordSI()->click();
        w.recordBar()->RepeatSet()->click();
        w.connection().COMItem(3)->trigger();
        // The limits and the page size take effect, and are kept, once their edits settle.
        ASSERT_TRUE(waitFor([&] { return w.ChartPager().FPageSize() == 50; }));
        ASSERT_TRUE(waitFor([&] { return !w.limits().Timer1()->isActive() && !w.limits().Timer4()->isActive(); }));
    }
    {
        TFCOMM w;
        expectSeen(seen(w, 0, 3), kChanged);
    }
    UserSettings::reset();
    {
        TFCOMM w;
        expectSeen(seen(w, 2, 1), kDefaults);
    }
}

TEST(UserSettings, DamagedValuesGiveTheDefaults) {
    {
        QSettings s;
        s.setValue(QStringLiteral("chart/pageSize"), 0);
        s.setValue(QStringLiteral("log/recordLimit"), QStringLiteral("many"));
        s.setValue(QStringLiteral("link/comPort"), 9);
        s.setValue(QStringLiteral("log/samplingSeconds"), -3);
    }
    TFCOMM w;
    expectSeen(seen(w, 2, 1), kDefaults);
}

// Earlier versions took any page size; one the chart cannot draw legibly
// gives the default, and Confirm readings is kept like the rest.
TEST(UserSettings, APageSizeBeyondWhatTheChartDrawsGivesTheDefault) {
    {
        QSettings s;
        s.setValue(QStringLiteral("chart/pageSize"), 1000000);
        s.setValue(QStringLiteral("log/confirmFrames"), 3);
    }
    TFCOMM w;
    EXPECT_EQ(w.ChartPager().FPageSize(), 100);
    EXPECT_EQ(w.chartToolbar()->Maxrecord()->text(), QStringLiteral("100"));
    EXPECT_EQ(w.logger().confirmFrames(), 3);
    EXPECT_TRUE(w.recordMenu()->confirmItem(3)->isChecked());
    w.recordMenu()->confirmItem(1)->trigger();
    EXPECT_EQ(w.logger().confirmFrames(), 1);
    EXPECT_EQ(QSettings().value(QStringLiteral("log/confirmFrames")).toInt(), 1);
}

// "meterlink --reset" forgets every kept setting, the meter choice included,
// then runs as usual.
TEST(UserSettings, TheResetOptionStartsFromTheDefaults) {
    setProgramIdentity();   // the program's own store
    {
        QSettings s;
        s.setValue(QStringLiteral("limits/high"), QStringLiteral("5.5"));
        s.setValue(QStringLiteral("meter/model"), QStringLiteral("another"));
    }
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(METERLINK_PROGRAM), {QStringLiteral("--reset")});
    ASSERT_TRUE(program.waitForStarted());
    EXPECT_TRUE(waitFor(
        [] {
            QSettings s;
            s.sync();
            return !s.contains(QStringLiteral("meter/model")) && !s.contains(QStringLiteral("limits/high"));
        },
        20000));
    program.kill();
    program.waitForFinished();
}

}  // namespace
