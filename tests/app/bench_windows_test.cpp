// A bench of meter windows: two windows on two simulated meters recorded on
// one clock, so each instant holds a row of each with the same time; the
// windows' meters and ports kept by number; --meter/--port pairs.

#include "app/bench_channels_window.h"
#include "app/bench_windows.h"
#include "app/data_file_commands.h"
#include "app/record_bar.h"
#include "app/record_menu.h"
#include "app/tfcomm.h"

#include "protocol/meter_table.h"

#include "window_test_support.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

QString startMeter(QProcess& simulator, QTemporaryDir& dir, const char* name, const char* reading) {
    QFile scenario(dir.filePath(QString::fromLatin1(name)));
    if (!scenario.open(QIODevice::WriteOnly)) return {};
    scenario.write(reading);
    scenario.close();
    simulator.start(QStringLiteral(METERLINK_CLI), {QStringLiteral("simulate"), QStringLiteral("--scenario"),
                                                    scenario.fileName()});
    if (!simulator.waitForStarted() || !waitFor([&] { return simulator.canReadLine(); })) return {};
    return QString::fromLocal8Bit(simulator.readLine().trimmed());
}

TEST(BenchWindows, two_windows_record_on_one_clock_and_save_long_and_wide) {
    QTemporaryDir dir;
    QProcess volts, amps;
    const QString portV = startMeter(volts, dir, "v.txt", "DCV 5.000\n");
    const QString portA = startMeter(amps, dir, "a.txt", "DCA 0.250\n");
    ASSERT_FALSE(portV.isEmpty());
    ASSERT_FALSE(portA.isEmpty());
    {
        BenchWindows bench;
        TFCOMM* one = bench.open({nullptr, portV}, true);
        TFCOMM* two = bench.open({nullptr, portA}, true);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(two));
        // Each window logs its own meter, frame by frame, before the bench records.
        ASSERT_TRUE(waitFor([&] { return one->recordTable().rowCount() > 0 && two->recordTable().rowCount() > 0; }, 10000));
        EXPECT_NE(one->windowTitle(), two->windowTitle());

        // A calculated channel over both windows, and an alarm on it.
        BenchChannelsWindow* panel = bench.showChannels();
        panel->calcEdit()->setText(QStringLiteral("P = CH1 * CH2"));
        panel->addCalc()->click();
        panel->alarmEdit()->setText(QStringLiteral("P > 1 for 1s: message Power above 1 W, sound"));
        panel->addAlarm()->click();
        ASSERT_EQ(bench.channels().calcs().size(), 1u);
        ASSERT_EQ(bench.channels().alarms().size(), 1u);
        ASSERT_TRUE(waitFor([&] {
            return panel->messages()->count() > 0 &&
                   panel->messages()->item(panel->messages()->count() - 1)->text().contains("Power above 1 W");
        }, 10000));
        EXPECT_TRUE(panel->messages()->item(0)->text().contains("alarm: P > 1 for 1s")) << panel->messages()->item(0)->text().toStdString();
        const int pRow = panel->channels()->rowCount() - 1;
        EXPECT_EQ(panel->channels()->item(pRow, 0)->text(), "P");
        EXPECT_NEAR(panel->channels()->item(pRow, 1)->text().toDouble(), 1.25, 0.01);
        EXPECT_EQ(panel->channels()->item(pRow, 2)->text(), "W");
        saveScreenshot(panel->grab(), "bench_alarm_firing.png");

        // Started from the second window, the recording runs in both.
        two->recordMenu()->BenchRecording1()->trigger();
        EXPECT_TRUE(bench.recording());
        EXPECT_TRUE(one->recordMenu()->BenchRecording1()->isChecked());
        EXPECT_EQ(one->recordMenu()->BenchRecording1()->text(), QStringLiteral("Stop Bench Recording"));
        ASSERT_TRUE(waitFor([&] { return bench.rows().size() >= 3; }, 10000));
        one->recordMenu()->BenchRecording1()->trigger();
        EXPECT_FALSE(bench.recording());
        EXPECT_FALSE(two->recordMenu()->BenchRecording1()->isChecked());
        // The windows' own sampling switch is as it was.
        EXPECT_FALSE(one->recordBar()->RecordSI()->isChecked());

        const auto rows = bench.rows();
        ASSERT_GE(rows.size(), 3u);
        for (const auto& row : rows) {
            ASSERT_EQ(row.samples.size(), 3u);
            // One clock: every instant has the reading of both meters.
            EXPECT_TRUE(row.samples[0].hasValue) << row.samples[0].channel;
            EXPECT_TRUE(row.samples[1].hasValue) << row.samples[1].channel;
            EXPECT_NEAR(row.samples[0].value, 5.0, 0.01);
            EXPECT_EQ(row.samples[0].unit, "V");
            EXPECT_NEAR(row.samples[1].value, 0.25, 0.001);
            EXPECT_EQ(row.samples[1].unit, "A");
            // The calculated channel at the same instant, from these readings.
            EXPECT_EQ(row.samples[2].channel, "P");
            EXPECT_TRUE(row.samples[2].hasValue);
            EXPECT_EQ(row.samples[2].unit, "W");
        }

        const QString path = dir.filePath(QStringLiteral("bench.csv"));
        QString why;
        ASSERT_TRUE(bench.save(path, why)) << why.toStdString();
        QFile longFile(path), wideFile(BenchWindows::widePathFor(path));
        ASSERT_TRUE(longFile.open(QIODevice::ReadOnly));
        ASSERT_TRUE(wideFile.open(QIODevice::ReadOnly));
        const QList<QByteArray> longLines = longFile.readAll().split('\n');
        const QList<QByteArray> wideLines = wideFile.readAll().split('\n');
        EXPECT_EQ(longLines[0].trimmed(), "timestamp,channel,function,value,unit,display,range,verdict");
        EXPECT_EQ(longLines.size() - 2, int(rows.size() * 3));   // header and the empty end
        EXPECT_EQ(wideLines[0].trimmed(), "timestamp,CH1 [V],CH2 [A],P [W]");
        EXPECT_EQ(wideLines.size() - 2, int(rows.size()));
        // The windows side by side, as the user sees them, with the bench's channels below.
        const QPixmap a = one->grab(), b = two->grab(), c = panel->grab();
        QPixmap both(a.width() + b.width() + 8, std::max(a.height(), b.height()) + 8 + c.height());
        both.fill(Qt::white);
        QPainter p(&both);
        p.drawPixmap(0, 0, a);
        p.drawPixmap(a.width() + 8, 0, b);
        p.drawPixmap(0, std::max(a.height(), b.height()) + 8, c);
        p.end();
        saveScreenshot(both, "bench_two_meter_windows.png");
        bench.remember();
        // Saved: the windows leave no journals behind for other tests to find.
        emit one->dataFiles().saved();
        emit two->dataFiles().saved();
    }
    // The next start finds both windows' meters and ports by number.
    const auto seats = BenchWindows::remembered();
    ASSERT_EQ(seats.size(), 2u);
    EXPECT_EQ(seats[0].port, portV);
    EXPECT_EQ(seats[1].port, portA);
    EXPECT_EQ(seats[1].meter, &meterlink::defaultMeter());
    volts.kill();
    amps.kill();
    volts.waitForFinished();
    amps.waitForFinished();
}

TEST(BenchWindows, one_window_without_a_port_is_no_bench_to_restore) {
    BenchWindows bench;
    bench.open({meterlink::findMeter("UT61E"), QString()}, false);
    bench.remember();
    // The Meter menu's choice, not a --meter given for one run, opens the next start.
    EXPECT_TRUE(BenchWindows::remembered().empty());
}

struct SeatCase {
    const char* name;
    QStringList args;
    QStringList ports;
    QStringList meters;   // as meterName gives them; "" for none
};

class BenchSeats : public ::testing::TestWithParam<SeatCase> {};

TEST_P(BenchSeats, pair_each_port_with_the_meter_before_it) {
    const auto& c = GetParam();
    QString why;
    const auto seats = BenchWindows::seatsFromArguments(QStringList{"meterlink"} + c.args, why);
    EXPECT_TRUE(why.isEmpty()) << why.toStdString();
    QStringList ports, meters;
    for (const auto& s : seats) {
        ports << s.port;
        meters << (s.meter ? QString::fromStdString(meterlink::meterName(*s.meter)) : QString());
    }
    EXPECT_EQ(ports, c.ports);
    EXPECT_EQ(meters, c.meters);
}

QString nameOf(const char* model) { return QString::fromStdString(meterlink::meterName(*meterlink::findMeter(model))); }

INSTANTIATE_TEST_SUITE_P(
    Table, BenchSeats,
    ::testing::Values(
        SeatCase{"no_port_is_no_bench", {"--meter", "UT61E"}, {}, {}},
        SeatCase{"one_meter_for_all", {"--meter", "UT61E", "--port", "/dev/a", "--port", "/dev/b"},
                 {"/dev/a", "/dev/b"}, {nameOf("UT61E"), nameOf("UT61E")}},
        SeatCase{"each_its_own", {"--meter", "UT61E", "--port", "/dev/a", "--meter=MAS345", "--port=/dev/b"},
                 {"/dev/a", "/dev/b"}, {nameOf("UT61E"), nameOf("MAS345")}},
        SeatCase{"port_before_meter", {"--port", "/dev/a", "--meter", "MAS345"}, {"/dev/a"}, {nameOf("MAS345")}},
        SeatCase{"shipped_meter", {"--port", "/dev/a"}, {"/dev/a"}, {""}}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(BenchSeats, an_unknown_model_is_refused) {
    QString why;
    EXPECT_TRUE(BenchWindows::seatsFromArguments({"meterlink", "--meter", "NOPE", "--port", "/dev/a"}, why).empty());
    EXPECT_TRUE(why.contains("no meter named \"NOPE\"")) << why.toStdString();
}

}  // namespace
