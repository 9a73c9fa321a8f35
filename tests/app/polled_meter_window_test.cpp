// A meter that speaks only when asked, in the window: the window asks, shows
// the answers, tells the user once when the meter falls silent, and reads on
// when it answers again.

#include "app/connection_control.h"
#include "app/lcd_panel.h"
#include "app/limit_panel.h"
#include "app/meter_setting.h"
#include "app/tfcomm.h"
#include "protocol/meter_table.h"
#include "pty_pair.h"
#include "window_test_support.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSettings>

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

class PolledMeterWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        QSettings().remove(QString::fromLatin1(meter_setting::kKey));
        ASSERT_TRUE(pty.ok());
        qputenv("METERLINK_COM1", QByteArray::fromStdString(pty.path()));
        window = std::make_unique<TFCOMM>();
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        // The meter: each "QM" gets the current answer, while it answers at all.
        QObject::connect(&meter, &QTimer::timeout, [this] {
            const std::string asked = pty.readSent();
            if (!answering) return;
            for (std::size_t at = asked.find("QM\r"); at != std::string::npos; at = asked.find("QM\r", at + 3)) {
                ++answers;
                pty.write(answer.data(), answer.size());
            }
        });
        meter.start(5);
    }
    void TearDown() override {
        meter.stop();
        window.reset();
        QSettings().remove(QString::fromLatin1(meter_setting::kKey));
        qunsetenv("METERLINK_COM1");
    }
    QString shownValue() const { return window->limits().T1VALUE()->text(); }

    PtyPair pty;
    std::unique_ptr<TFCOMM> window;
    QTimer meter;
    bool answering = true;
    int answers = 0;
    std::string answer = "0\r+1.2345E-1,VAC,NORMAL,NONE\r";
};

TEST_F(PolledMeterWindowTest, AnswersAreShownSilenceIsToldOnceAndTheReadingsComeBack) {
    const meterlink::MeterModel* fluke = meterlink::findMeter("Fluke 289");
    ASSERT_NE(fluke, nullptr);
    ASSERT_TRUE(window->chooseMeter(*fluke, false));
    QTest::mouseClick(window->connection().COMCon(), Qt::LeftButton);
    ASSERT_TRUE(window->COMM2().Connected());

    // 0.12345 V AC is shown 123.45 mV on the five places.
    ASSERT_TRUE(waitFor([&] { return shownValue() == QStringLiteral("123.45"); }));
    const LcdPanel& lcd = *window->lcd();
    EXPECT_EQ(QString() + lcd.digit(0) + lcd.digit(1) + lcd.digit(2) + lcd.digit(3) + lcd.digit(4),
              QStringLiteral("12345"));
    EXPECT_TRUE(lcd.state().shown(meterlink::Lcd::AC));
    EXPECT_TRUE(lcd.state().shown(meterlink::Lcd::Milli));
    EXPECT_TRUE(lcd.state().shown(meterlink::Lcd::V));
    EXPECT_TRUE(lcd.state().shown(meterlink::Lcd::P3));
    // Asked again and again, not once.
    ASSERT_TRUE(waitFor([&] { return answers >= 3; }));
    QTest::qWait(100);
    saveScreenshot(window->grab(), "polled_meter_fluke_289.png");

    // The meter falls silent: one error box, the last reading stays.
    auto answerer = std::make_unique<MessageBoxAnswerer>(QMessageBox::Ok, [this](QMessageBox* box) {
        saveScreenshot(withBox(*window, box), "polled_meter_silent.png");
    });
    answering = false;
    ASSERT_TRUE(waitFor([&] { return answerer->seen().has_value(); }, 8000));
    EXPECT_EQ(answerer->seen()->title, QStringLiteral("Error"));
    const QString prefix = QStringLiteral("Lost COM 1 (%1): the meter does not answer").arg(QString::fromStdString(pty.path()));
    EXPECT_TRUE(answerer->seen()->text.startsWith(prefix)) << answerer->seen()->text.toStdString();
    answerer.reset();
    EXPECT_EQ(shownValue(), QStringLiteral("123.45"));
    EXPECT_TRUE(window->COMM2().Connected());

    // It answers again: the next reading is shown, with no further box.
    answer = "0\r-2.0000E+0,VDC,NORMAL,NONE\r";
    answering = true;
    ASSERT_TRUE(waitFor([&] { return shownValue() == QStringLiteral("-2.0000"); }));
    EXPECT_FALSE(window->COMM2().meterSilent());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    QTest::mouseClick(window->connection().COMCon(), Qt::LeftButton);
    EXPECT_FALSE(window->COMM2().Connected());
}

}  // namespace
