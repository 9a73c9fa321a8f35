// "Find my meter…": the dialog searches without holding the window up, lists
// a meter on a pty and a simulated cable, and choosing one sets the window's
// meter and port.
#include "app/find_meter_dialog.h"
#include "app/tfcomm.h"
#include "links/simulated_hid_platform.h"
#include "tests/tools/fake_meter_pty.h"
#include "window_test_support.h"

#include <QAction>
#include <QComboBox>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

TEST(FindMeterDialog, lists_what_answered_and_choosing_sets_the_window_s_meter_and_port) {
    const meterlink::MeterModel& ut60e = *meterlink::findMeter("UNI-T UT60E");
    FakeMeterPty meter(ut60e, FakeMeterPty::Kind::Streams);
    FakeMeterPty silent(ut60e, FakeMeterPty::Kind::Silent);
    ASSERT_TRUE(meter.ok() && silent.ok());
    auto hid = std::make_shared<SimulatedHidPlatform>();
    SimulatedHidPlatform::Device cable = SimulatedHidPlatform::cable("cp2110");
    cable.attributes.VendorID = 0x10c4;
    cable.attributes.ProductID = 0xea80;
    cable.product = u"CP2110 HID USB-to-UART Bridge";
    hid->plug(cable);
    TFCOMM window(nullptr, hid);
    window.show();

    QAction* find = window.meterMenu()->findChild<QAction*>(QStringLiteral("FindMeter"));
    ASSERT_NE(find, nullptr);
    EXPECT_EQ(find->text(), QStringLiteral("Find my meter…"));
    meterlink::MeterFinder::Options options = window.findMeterOptions();
    EXPECT_TRUE(options.usb);
    EXPECT_TRUE(options.systemPorts);
    // Only the pty here: the machine's own ports would make the search slow.
    options.systemPorts = false;
    options.ports = QStringList{QString::fromStdString(meter.path()), QString::fromStdString(silent.path())};
    options.timing = {300, 300};

    FindMeterDialog dialog(options, &window);
    QSignalSpy finished(&dialog, &FindMeterDialog::searchFinished);
    dialog.show();
    EXPECT_TRUE(dialog.searching());
    EXPECT_FALSE(dialog.useButton()->isEnabled());
    // The window goes on while the search runs (the silent port takes seven steps).
    int ticks = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { ++ticks; });
    tick.start(10);
    ASSERT_TRUE(finished.wait(20000));
    EXPECT_GT(ticks, 20);
    EXPECT_FALSE(dialog.searching());

    ASSERT_EQ(dialog.results().size(), 3u);
    ASSERT_EQ(dialog.resultList()->count(), 3);
    EXPECT_TRUE(dialog.resultList()->item(0)->text().contains(QStringLiteral("CP2110")));
    EXPECT_TRUE(dialog.resultList()->item(1)->text().contains(QStringLiteral("FS9721")));
    EXPECT_TRUE(dialog.resultList()->item(2)->text().contains(QStringLiteral("no meter answered")));
    EXPECT_FALSE(dialog.resultList()->item(2)->flags() & Qt::ItemIsSelectable);
    dialog.resultList()->setCurrentRow(1);
    const int at = dialog.modelBox()->findText(QStringLiteral("UNI-T UT60E"));
    ASSERT_GE(at, 0);
    dialog.modelBox()->setCurrentIndex(at);
    EXPECT_TRUE(dialog.useButton()->isEnabled());
    saveScreenshot(dialog.grab(), "find_my_meter_dialog.png");

    ASSERT_NE(dialog.chosen(), nullptr);
    ASSERT_EQ(dialog.chosenModel(), &ut60e);
    EXPECT_TRUE(window.useFoundMeter(*dialog.chosen(), *dialog.chosenModel()));
    EXPECT_EQ(&window.meter(), &ut60e);
    EXPECT_EQ(window.COMM2().portPath(), QString::fromStdString(meter.path()));
    EXPECT_EQ(window.COMM2().ComPortSpeed(), TSerialPortDriver::br2400);
}

TEST(FindMeterDialog, closing_it_while_it_searches_stops_the_search) {
    FakeMeterPty silent(*meterlink::findMeter("UNI-T UT60E"), FakeMeterPty::Kind::Silent);
    meterlink::MeterFinder::Options options;
    options.ports = QStringList{QString::fromStdString(silent.path())};
    auto dialog = std::make_unique<FindMeterDialog>(options);
    dialog->show();
    QTest::qWait(200);
    EXPECT_TRUE(dialog->searching());
    dialog.reset();   // must neither hang nor crash
    // The port is free again.
    TSerialPortDriver driver;
    driver.setPortPath(QString::fromStdString(silent.path()));
    EXPECT_TRUE(driver.Connect()) << driver.lastError().toStdString();
}

}  // namespace
