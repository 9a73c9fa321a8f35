// Drives the real window offscreen over the meter's USB cable, simulated in
// this process: the test plays the adapter's input reports.

#include "app/connection_control.h"
#include "app/hid_info_dialog.h"
#include "app/lcd_panel.h"
#include "app/limit_panel.h"
#include "app/link_indicator.h"
#include "app/meter_chart.h"
#include "app/port_panel.h"
#include "app/tfcomm.h"
#include "links/hid_device_controller.h"
#include "links/simulated_hid_platform.h"
#include "links/usb_device_list.h"
#include "protocol/frame_builder.h"
#include "protocol/meter_table.h"
#include "window_test_support.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

using State = ConnectionControl::State;
using Bytes = std::vector<std::uint8_t>;

namespace {

const std::string kCable = "cable-1";
const Bytes kFeature2400{0x00, 0x60, 0x09, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00};
const Bytes kIdle{0x00, 0xF0, 0, 0, 0, 0, 0, 0, 0};

// Runs the event loop until condition holds. Unlike QTest::qWaitFor, which
// sleeps between its passes, the loop wakes for every report handed over.
bool spinUntil(const std::function<bool()>& condition, int ms = 5000) {
    if (condition()) return true;
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (condition()) loop.quit();
    });
    check.start(5);
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    return condition();
}

// Every message box that shows is noted and answered with OK; a test takes
// the ones it expects, and any left over fail it.
class BoxCatcher {
public:
    struct Box {
        QString title, text;
        QMessageBox::Icon icon;
    };

    explicit BoxCatcher(std::function<void(QMessageBox*)> onShown = {}) : onShown_(std::move(onShown)) {
        QObject::connect(&poll_, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible()) return;
            boxes_.push_back({box->windowTitle(), box->text(), box->icon()});
            if (onShown_) onShown_(box);
            box->button(QMessageBox::Ok)->click();
        });
        poll_.start(20);
    }
    ~BoxCatcher() {
        for (const Box& b : boxes_) ADD_FAILURE() << "unexpected message box: " << b.text.toStdString();
    }

    // The boxes shown since the last call.
    std::vector<Box> take() { return std::exchange(boxes_, {}); }
    void setOnShown(std::function<void(QMessageBox*)> f) { onShown_ = std::move(f); }

private:
    QTimer poll_;
    std::vector<Box> boxes_;
    std::function<void(QMessageBox*)> onShown_;
};

meterlink::DisplaySpec dcVolts(int count, int pointAfter) {
    meterlink::DisplaySpec s;
    s.count = count;
    s.pointAfter = pointAfter;
    return s;
}

// The cable's reports for one frame: two data reports of seven meter bytes.
std::vector<Bytes> frameReports(const meterlink::DisplaySpec& spec) {
    const meterlink::WireFrame w = meterlink::encodeFrame(meterlink::fieldsFor(spec));
    std::vector<Bytes> reports;
    for (std::size_t at = 0; at < w.size(); at += 7) {
        Bytes r{0x00, 0xF7};
        r.insert(r.end(), w.begin() + static_cast<std::ptrdiff_t>(at), w.begin() + static_cast<std::ptrdiff_t>(at + 7));
        reports.push_back(r);
    }
    return reports;
}

class UsbLinkWindowTest : public ::testing::Test {
protected:
    void SetUp() override { sim->plug(SimulatedHidPlatform::cable(kCable)); }
    void TearDown() override { window.reset(); }

    void start() {
        window = std::make_unique<TFCOMM>(nullptr, sim);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    ConnectionControl& connection() const { return window->connection(); }
    UsbDeviceList& devices() const { return window->usbDevices(); }
    QStringList history() const { return devices().history().lines(); }
    void clickUsbCon() { QTest::mouseClick(connection().USBCon(), Qt::LeftButton); }
    // Waits until the device list holds exactly these devices, in this order.
    bool listed(const std::vector<std::string>& ids) {
        return spinUntil([&] {
            std::vector<std::string> now;
            for (const auto& e : devices().entries()) now.push_back(e.device ? e.device->PnPInfo().DevInst : "");
            return now == ids;
        });
    }
    // Waits until the window's read thread has the cable open, or no longer has it.
    bool reading(bool yes) { return spinUntil([&] { return (sim->readers(kCable) == 1) == yes; }); }

    void send(const Bytes& report) { sim->sendReport(kCable, report); }
    void sendFrame(const meterlink::DisplaySpec& spec) {
        for (const Bytes& r : frameReports(spec)) send(r);
        send(kIdle);
    }
    QString valueText() const { return window->limits().T1VALUE()->text(); }
    std::size_t featureReportsSent() const { return sim->featureReports(kCable).size(); }

    std::shared_ptr<SimulatedHidPlatform> sim = std::make_shared<SimulatedHidPlatform>();
    std::unique_ptr<TFCOMM> window;
    BoxCatcher boxes;
};

TEST_F(UsbLinkWindowTest, TheCableDrivesTheWindowAndSurvivesBeingPulled) {
    start();
    ASSERT_EQ(devices().entries().size(), 1u);
    EXPECT_EQ(devices().entries()[0].caption, QStringLiteral("USB to Serial"));
    ASSERT_NE(devices().selectedDevice(), nullptr);

    clickUsbCon();
    EXPECT_EQ(connection().state(), State::UsbConnected);
    EXPECT_EQ(connection().USBCon()->text(), QStringLiteral("USB Disconnect"));
    EXPECT_FALSE(connection().COMCon()->isVisible());
    EXPECT_EQ(connection().visiblePortPanel(), nullptr);
    EXPECT_EQ(sim->featureReports(kCable), std::vector<Bytes>{kFeature2400});
    EXPECT_EQ(history(), QStringList{"00 60 09 00 00 03 00 00 00 00 "});
    ASSERT_TRUE(reading(true));

    sendFrame(dcVolts(5999, 1));
    ASSERT_TRUE(spinUntil([&] { return valueText() == QLatin1String("5.999"); }));
    EXPECT_EQ(window->lcd()->state().digits, (std::array<char, 4>{'5', '9', '9', '9'}));
    EXPECT_EQ(window->limits().judge()->text(), QStringLiteral("Pass"));
    EXPECT_TRUE(window->linkIndicator().active());
    EXPECT_EQ(history().mid(1), (QStringList{"R 00  F7 2B 35 39 39 39 20 31 ", "R 00  F7 30 00 00 80 00 0D 0A "}));

    sendFrame(dcVolts(-1234, 2));
    ASSERT_TRUE(spinUntil([&] { return valueText() == QLatin1String("-12.34"); }));
    // The chart draws its new point once the event loop is free.
    ASSERT_TRUE(spinUntil([&] {
        return window->Chtshow()->shownPointCount() == static_cast<int>(window->ChartPager().pointCount());
    }));
    saveScreenshot(window->grab(), "usb_connected.png");

    // Half a frame, then the cable goes.
    send(frameReports(dcVolts(4321, 0))[0]);
    ASSERT_TRUE(spinUntil([&] { return window->usbLink().UsbBytesPending(); }));
    boxes.setOnShown([this](QMessageBox* box) { saveScreenshot(withBox(*window, box), "usb_cable_lost.png"); });
    sim->unplug(kCable);
    ASSERT_TRUE(spinUntil([&] { return history().last() == QLatin1String("Removal of USB to Serial"); }));
    EXPECT_TRUE(devices().entries().empty());
    std::vector<BoxCatcher::Box> lost;
    ASSERT_TRUE(spinUntil([&] {
        for (auto& b : boxes.take()) lost.push_back(b);
        return !lost.empty();
    }));
    QTest::qWait(100);
    for (auto& b : boxes.take()) lost.push_back(b);
    ASSERT_EQ(lost.size(), 1u) << "told once";
    EXPECT_EQ(lost[0].title, QStringLiteral("Error"));
    EXPECT_EQ(lost[0].icon, QMessageBox::Critical);
    EXPECT_EQ(lost[0].text,
              QStringLiteral("Lost the USB cable (sim/cable-1): the device was removed from the system"));
    EXPECT_EQ(connection().state(), State::UsbConnected) << "the look stays until the user clicks";
    EXPECT_TRUE(spinUntil([&] { return !window->linkIndicator().active(); }));
    EXPECT_EQ(valueText(), QStringLiteral("-12.34"));
    saveScreenshot(window->grab(), "usb_cable_pulled.png");

    // The click that closes finds no cable: the halted look, after the message.
    boxes.setOnShown([this](QMessageBox* box) { saveScreenshot(withBox(*window, box), "usb_not_connected.png"); });
    clickUsbCon();
    const auto shown = boxes.take();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].title, QStringLiteral("Information"));
    EXPECT_EQ(shown[0].icon, QMessageBox::Information);
    EXPECT_EQ(shown[0].text, QStringLiteral("USB interface cable is not securely connected, please check and re-try."));
    EXPECT_EQ(connection().state(), State::UsbHalted);
    EXPECT_FALSE(connection().COMCon()->isVisible());
    saveScreenshot(window->grab(), "usb_halted.png");

    // Plugged in again: opening and closing bring the serial side back.
    sim->plug(SimulatedHidPlatform::cable(kCable));
    ASSERT_TRUE(listed({kCable}));
    EXPECT_EQ(history().last(), QStringLiteral("Arrival of USB to Serial"));
    clickUsbCon();
    EXPECT_EQ(connection().state(), State::UsbConnected);
    ASSERT_TRUE(reading(true));
    // The half frame from before the pull goes with the first idle report.
    send(kIdle);
    sendFrame(dcVolts(1000, 1));
    ASSERT_TRUE(spinUntil([&] { return valueText() == QLatin1String("1.000"); }));
    clickUsbCon();
    EXPECT_EQ(connection().state(), State::Disconnected);
    EXPECT_TRUE(reading(false));
    EXPECT_EQ(connection().visiblePortPanel(), connection().BtCOM(1));
    EXPECT_TRUE(connection().COMCon()->isVisible());
    EXPECT_EQ(connection().USBCon()->text(), QStringLiteral("USB Connection"));
    EXPECT_EQ(sim->featureReports(kCable), (std::vector<Bytes>{kFeature2400, kFeature2400}));
}

// Another family's meter over the cable: the adapter is set to the model's
// cable rate, and its decoder finds the frames in the bytes of the reports,
// wherever the cable's idle reports fall.
TEST_F(UsbLinkWindowTest, A22000CountMeterIsReadAtItsCableRate) {
    start();
    const meterlink::MeterModel* meter = meterlink::findMeter("UT61E");
    ASSERT_NE(meter, nullptr);
    ASSERT_EQ(meter->cableBaud, 19200);
    ASSERT_TRUE(window->chooseMeter(*meter, false));
    clickUsbCon();
    ASSERT_EQ(connection().state(), State::UsbConnected);
    EXPECT_EQ(sim->featureReports(kCable),
              (std::vector<Bytes>{{0x00, 0x00, 0x4B, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00}}));
    ASSERT_TRUE(reading(true));

    // Range 0 (2.2000 V), digits 12345, voltage, DC and auto range, in
    // reports of up to seven meter bytes; an idle report in the middle of the
    // first frame, and the second one begins in the report that ends it.
    const std::string frame = "012345;000:0\r\n";
    const auto report = [](const std::string& part) {
        Bytes r{0x00, static_cast<std::uint8_t>(0xF0 | part.size())};
        r.insert(r.end(), part.begin(), part.end());
        return r;
    };
    send(report(frame.substr(0, 5)));
    send(kIdle);
    send(report(frame.substr(5, 7)));
    send(report(frame.substr(12) + frame.substr(0, 5)));
    send(report(frame.substr(5, 7)));
    send(report(frame.substr(12)));
    ASSERT_TRUE(spinUntil([&] { return valueText() == QLatin1String("1.2345"); }));
    EXPECT_EQ(window->lcd()->digit(4), '5');
}

// The cable hands a 7O1 meter's parity bit on as bit 7 of every byte.
TEST_F(UsbLinkWindowTest, TheParityBitOfASevenBitMeterIsCleared) {
    start();
    ASSERT_TRUE(window->chooseMeter(*meterlink::findMeter("UT61E"), false));
    clickUsbCon();
    ASSERT_EQ(connection().state(), State::UsbConnected);
    ASSERT_TRUE(reading(true));
    std::string frame = "021098;000:0\r\n";
    for (char& c : frame) {
        const auto b = static_cast<unsigned char>(c);
        if (__builtin_popcount(b) % 2 == 0) c = static_cast<char>(b | 0x80);
    }
    const auto report = [](const std::string& part) {
        Bytes r{0x00, static_cast<std::uint8_t>(0xF0 | part.size())};
        r.insert(r.end(), part.begin(), part.end());
        return r;
    };
    for (int i = 0; i < 2; ++i)
        for (std::size_t at = 0; at < frame.size(); at += 7) send(report(frame.substr(at, 7)));
    send(kIdle);
    ASSERT_TRUE(spinUntil([&] { return valueText() == QLatin1String("2.1098"); })) << qPrintable(valueText());
}

TEST_F(UsbLinkWindowTest, OpeningWithoutAUsableCableFollowsTheTransitionTable) {
    SimulatedHidPlatform::Device queryOnly = SimulatedHidPlatform::cable("query-only");
    queryOnly.readWrite = false;
    SimulatedHidPlatform::Device withSerial = SimulatedHidPlatform::cable("serial");
    withSerial.serial = u"0042";
    const struct {
        const char* name;
        std::vector<SimulatedHidPlatform::Device> present;
        bool message;
    } cases[] = {
        {"no device", {}, true},
        {"only a cable with a serial number", {withSerial}, true},
        {"a cable that can only be queried", {queryOnly}, false},
    };
    sim->unplug(kCable);
    start();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> ids;
        for (const auto& d : c.present) {
            sim->plug(d);
            ids.push_back(d.identity);
        }
        ASSERT_TRUE(listed(ids));
        clickUsbCon();
        EXPECT_EQ(boxes.take().size(), c.message ? 1u : 0u);
        EXPECT_EQ(connection().state(), State::Disconnected);
        EXPECT_TRUE(connection().COMCon()->isVisible());
        for (const auto& d : c.present) sim->unplug(d.identity);
    }

    // Open with a good cable; it is then replaced by one that can only be
    // queried: closing halts without a message, and so does opening again.
    sim->plug(SimulatedHidPlatform::cable(kCable));
    ASSERT_TRUE(listed({kCable}));
    clickUsbCon();
    ASSERT_EQ(connection().state(), State::UsbConnected);
    sim->unplug(kCable);
    sim->plug(queryOnly);
    ASSERT_TRUE(listed({queryOnly.identity}));
    ASSERT_TRUE(spinUntil([&] { return boxes.take().size() == 1; })) << "the lost cable is told";
    clickUsbCon();
    EXPECT_EQ(connection().state(), State::UsbHalted);
    clickUsbCon();
    EXPECT_EQ(connection().state(), State::UsbHalted);
    EXPECT_TRUE(boxes.take().empty());
}

TEST_F(UsbLinkWindowTest, LimitsWithAUnitJudgeTheReadingInThatUnit) {
    start();
    QLineEdit* high = window->limits().T1HI();
    QLineEdit* low = window->limits().T1LO();
    high->clear();
    low->clear();
    QTest::keyClicks(high, QStringLiteral("5.5 V"));
    QTest::keyClicks(low, QStringLiteral("4.5V"));
    EXPECT_EQ(high->text(), QStringLiteral("5.5 V"));
    EXPECT_EQ(low->text(), QStringLiteral("4.5V"));
    clickUsbCon();
    ASSERT_TRUE(reading(true));
    meterlink::DisplaySpec rail = dcVolts(520, 2);   // a dead 5 V rail: 05.20 mV
    rail.prefix = meterlink::UnitPrefix::Milli;
    sendFrame(rail);
    ASSERT_TRUE(spinUntil([&] { return valueText() == QLatin1String("05.20"); }));
    EXPECT_EQ(window->limits().judge()->text(), QStringLiteral("Fail"));
    EXPECT_EQ(window->reading().JudgeText, "Fail");
    saveScreenshot(window->grab(), "limit_units_fail.png");
    sendFrame(dcVolts(5201, 1));
    ASSERT_TRUE(spinUntil([&] { return valueText() == QLatin1String("5.201"); }));
    EXPECT_EQ(window->limits().judge()->text(), QStringLiteral("Pass"));
    saveScreenshot(window->grab(), "limit_units_pass.png");
    // Still limits after the validation: the unit stays.
    ASSERT_TRUE(spinUntil([&] { return !window->limits().Timer1()->isActive(); }));
    EXPECT_EQ(high->text(), QStringLiteral("5.5 V"));
}

TEST_F(UsbLinkWindowTest, TheLinkGoesOnWhileOtherDevicesComeAndGo) {
    SimulatedHidPlatform::Device mouse;
    mouse.identity = "mouse";
    mouse.product = u"Optical Mouse";
    start();
    clickUsbCon();
    ASSERT_TRUE(reading(true));
    const struct {
        const char* name;
        std::function<void()> change;
        std::vector<std::string> listed;
    } changes[] = {
        {"a mouse plugged in", [&] { sim->plug(mouse); }, {kCable, "mouse"}},
        {"the mouse pulled", [&] { sim->unplug("mouse"); }, {kCable}},
    };
    int count = 1000;
    for (const auto& c : changes) {
        SCOPED_TRACE(c.name);
        const std::size_t sent = featureReportsSent();
        c.change();
        ASSERT_TRUE(listed(c.listed));
        EXPECT_EQ(connection().state(), State::UsbConnected);
        ASSERT_TRUE(reading(true));
        EXPECT_EQ(featureReportsSent(), sent + 1) << "the adapter is set up again";
        EXPECT_EQ(history().last(), QStringLiteral("00 60 09 00 00 03 00 00 00 00 "));
        ++count;
        sendFrame(dcVolts(count, 1));
        const QString shown = QStringLiteral("%1.%2").arg(count / 1000).arg(count % 1000, 3, 10, QLatin1Char('0'));
        EXPECT_TRUE(spinUntil([&] { return valueText() == shown; })) << shown.toStdString();
    }
    EXPECT_TRUE(boxes.take().empty());
}

TEST_F(UsbLinkWindowTest, A1900thIdleReportInARowHaltsTheLinkWithTheMeterReadyMessage) {
    start();
    clickUsbCon();
    ASSERT_TRUE(reading(true));
    for (int i = 0; i < 1899; ++i) send(kIdle);
    ASSERT_TRUE(spinUntil([&] { return window->usbLink().UsbIdleCount() == 1899; }));
    QTest::qWait(400);   // at least one tick that looks at the watchdog
    EXPECT_TRUE(boxes.take().empty());
    EXPECT_EQ(connection().state(), State::UsbConnected);

    boxes.setOnShown([this](QMessageBox* box) { saveScreenshot(withBox(*window, box), "usb_meter_not_ready.png"); });
    send(kIdle);
    std::vector<BoxCatcher::Box> shown;
    ASSERT_TRUE(spinUntil([&] {
        for (auto& b : boxes.take()) shown.push_back(b);
        return !shown.empty();
    }));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].title, QStringLiteral("Information"));
    EXPECT_EQ(shown[0].text, QStringLiteral("USB interface cable is securely connected, please check if the meter is ready."));
    EXPECT_EQ(connection().state(), State::UsbHalted);
    EXPECT_FALSE(connection().COMCon()->isVisible());
    EXPECT_TRUE(reading(false));
    EXPECT_EQ(window->usbLink().UsbIdleCount(), 0);
}

// Bytes came over the link but none formed a frame: the halt says the meter
// may be another model.
TEST_F(UsbLinkWindowTest, TheHaltAfterBytesThatFormedNoFrameNamesAnotherModel) {
    start();
    clickUsbCon();
    ASSERT_TRUE(reading(true));
    send(Bytes{0x00, 0xF4, '0', '1', '2', '\n'});
    for (int i = 0; i < 1900; ++i) send(kIdle);
    std::vector<BoxCatcher::Box> shown;
    ASSERT_TRUE(spinUntil([&] {
        for (auto& b : boxes.take()) shown.push_back(b);
        return !shown.empty();
    }));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, QStringLiteral("USB interface cable is securely connected, please check if the meter is "
                                            "ready. Bytes arrive but none form a frame of KR20C: the meter may be "
                                            "another model."));
    EXPECT_EQ(connection().state(), State::UsbHalted);
}

TEST_F(UsbLinkWindowTest, ClosingTheWindowWhileReportsStreamTakesUnderASecond) {
    start();
    clickUsbCon();
    ASSERT_TRUE(reading(true));
    // A report every millisecond or two keeps a hand-over pending at almost any moment.
    QTimer stream;
    int n = 0;
    QObject::connect(&stream, &QTimer::timeout, [&] {
        for (const Bytes& r : frameReports(dcVolts(n++ % 6000, 1))) send(r);
        send(kIdle);
    });
    stream.start(2);
    ASSERT_TRUE(spinUntil([&] { return valueText() != QLatin1String("0"); }));
    QTest::qWait(300);

    QElapsedTimer closing;
    closing.start();
    window->close();
    window.reset();
    EXPECT_LT(closing.elapsed(), 1000);
    stream.stop();
    EXPECT_EQ(sim->readers(kCable), 0);
}

TEST_F(UsbLinkWindowTest, InfoShowsTheSelectedDevice) {
    start();
    QStringList texts;
    QTimer::singleShot(100, [&] {
        auto* info = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(info, nullptr);
        EXPECT_EQ(info->parentWidget(), window.get());
        for (QLabel* l : info->findChildren<QLabel*>()) texts << l->text();
        saveScreenshot(info->grab(), "usb_info.png");
        info->accept();
    });
    window->InfoBtnClick();
    for (const char* expected : {"USB to Serial", "FFFF", "0001", "9 bytes", "read and write"})
        EXPECT_TRUE(texts.contains(QString::fromLatin1(expected))) << expected << " in " << texts.join('|').toStdString();
    EXPECT_EQ(window->findChildren<HidInfoDialog*>().size(), 0) << "the window is discarded when closed";
}

}  // namespace
