// The window switched between the meters of the table: line settings,
// decoder, full-scale count, chart axis, LCD places, the USB cable's rate,
// and the choice kept for the next start.

#include "app/connection_control.h"
#include "app/lcd_panel.h"
#include "app/limit_panel.h"
#include "app/meter_chart.h"
#include "app/meter_setting.h"
#include "app/tfcomm.h"
#include "links/meter_line.h"
#include "protocol/meter_table.h"
#include "pty_pair.h"
#include "window_test_support.h"

#include <QAction>
#include <QElapsedTimer>
#include <QStatusBar>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QValueAxis>

#include <gtest/gtest.h>

#include <memory>

namespace {

// What a menu shows of a text: "&&" is an ampersand, a lone "&" marks the
// next letter as the menu's key and is not shown.
QString shownText(const QString& text) {
    QString shown;
    for (int i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&')) {
            if (i + 1 < text.size() && text[i + 1] == QLatin1Char('&')) shown += text[++i];
            continue;
        }
        shown += text[i];
    }
    return shown;
}

using meterlink::MeterModel;
using meterlink::MeterProtocol;

// The first row of a protocol (and of more than 9999 counts when asked).
const MeterModel& rowOf(MeterProtocol protocol, bool overNineNineNineNine = false) {
    for (const MeterModel& m : meterlink::meterTable())
        if (m.protocol == protocol && (!overNineNineNineNine || m.fullCount > 9999) && &m != &meterlink::defaultMeter())
            return m;
    ADD_FAILURE() << "no such row";
    return meterlink::defaultMeter();
}

class MeterChoiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        QSettings().remove(QString::fromLatin1(meter_setting::kKey));
        ASSERT_TRUE(pty.ok());
        qputenv("METERLINK_COM1", QByteArray::fromStdString(pty.path()));
        window = std::make_unique<TFCOMM>();
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    void TearDown() override {
        window.reset();
        QSettings().remove(QString::fromLatin1(meter_setting::kKey));
        qunsetenv("METERLINK_COM1");
    }

    QValueAxis* axis() const { return window->Chtshow()->valueAxis(); }

    PtyPair pty;
    std::unique_ptr<TFCOMM> window;
};

struct ChoiceCase {
    const char* name;
    MeterProtocol protocol;
    bool overNineNineNineNine;
};

class MeterChoiceCases : public MeterChoiceTest, public ::testing::WithParamInterface<ChoiceCase> {};

TEST_P(MeterChoiceCases, SetsLineAxisPlacesAndCableRate) {
    const MeterModel& model = rowOf(GetParam().protocol, GetParam().overNineNineNineNine);
    ASSERT_TRUE(window->chooseMeter(model, false));
    TSerialPortDriver& d = window->COMM2();
    EXPECT_EQ(TSerialPortDriver::baudRateValue(d.ComPortSpeed()), model.line.baud);
    EXPECT_EQ(static_cast<int>(d.ComPortDataBits()) + 5, model.line.dataBits);
    EXPECT_EQ(d.ComPortStopBits() == TSerialPortDriver::sb2BITS ? 2 : 1, model.line.stopBits);
    const TSerialPortDriver::TComPortParity parity = model.line.parity == meterlink::Parity::Odd    ? TSerialPortDriver::ptODD
                                                     : model.line.parity == meterlink::Parity::Even ? TSerialPortDriver::ptEVEN
                                                                                                  : TSerialPortDriver::ptNONE;
    EXPECT_EQ(d.ComPortParity(), parity);
    EXPECT_EQ(d.DtrOnOpen(), lineLevel(model.line.dtr));
    EXPECT_EQ(d.RtsOnOpen(), lineLevel(model.line.rts));
    EXPECT_EQ(d.pollCommand().toStdString(), std::string(model.line.pollCommand));
    EXPECT_DOUBLE_EQ(axis()->max(), model.fullCount);
    EXPECT_DOUBLE_EQ(axis()->min(), -model.fullCount);
    EXPECT_EQ(window->lcd()->digitPlaces(), model.fullCount > 9999 ? 5 : 4);
    EXPECT_EQ(window->adapterBaud(), model.cableBaud > 0 ? model.cableBaud : model.line.baud);

    // Back to the shipped meter: the window as it starts.
    ASSERT_TRUE(window->chooseMeter(meterlink::defaultMeter(), false));
    EXPECT_EQ(d.ComPortSpeed(), TSerialPortDriver::br2400);
    EXPECT_EQ(d.ComPortDataBits(), TSerialPortDriver::db8BITS);
    EXPECT_EQ(d.ComPortParity(), TSerialPortDriver::ptNONE);
    EXPECT_EQ(d.ComPortStopBits(), TSerialPortDriver::sb1BITS);
    EXPECT_TRUE(d.EnableDTROnOpen());
    EXPECT_FALSE(d.EnableRTSOnOpen());
    EXPECT_TRUE(d.pollCommand().isEmpty());
    EXPECT_DOUBLE_EQ(axis()->max(), 6000);
    EXPECT_EQ(window->lcd()->digitPlaces(), 4);
    EXPECT_EQ(window->adapterBaud(), 2400);
}

INSTANTIATE_TEST_SUITE_P(Families, MeterChoiceCases,
                         ::testing::Values(ChoiceCase{"fs9721", MeterProtocol::Fs9721, false},
                                           ChoiceCase{"metex_polled", MeterProtocol::Metex14, false},
                                           ChoiceCase{"es51922_22000_count", MeterProtocol::Es51922, true},
                                           ChoiceCase{"es51986", MeterProtocol::Es51986, false}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(MeterChoiceTest, MenuListsEveryModelByMakerAfterTheOtherMenus) {
    QMenu* menu = window->meterMenu();
    ASSERT_NE(menu, nullptr);
    const QList<QAction*> bar = window->menuBar()->actions();
    EXPECT_EQ(bar.last(), menu->menuAction());
    EXPECT_EQ(menu->title(), QStringLiteral("Meter"));
    int models = 0;
    for (QAction* a : menu->findChildren<QAction*>())
        if (a->isCheckable()) ++models;
    EXPECT_EQ(models, static_cast<int>(meterlink::meterTable().size()));
    const MeterModel& es = rowOf(MeterProtocol::Es51922, true);
    QAction* item = menu->findChild<QAction*>(QString::fromStdString(meterlink::meterName(es)));
    ASSERT_NE(item, nullptr);
    // Under its maker's submenu.
    bool underMaker = false;
    for (QMenu* sub : menu->findChildren<QMenu*>())
        underMaker = underMaker || (shownText(sub->title()) == QString::fromUtf8(es.maker.data(), int(es.maker.size())) &&
                                    sub->actions().contains(item));
    EXPECT_TRUE(underMaker);
    EXPECT_TRUE(menu->findChild<QAction*>(QString::fromStdString(meterlink::meterName(meterlink::defaultMeter())))
                    ->isChecked());
}

TEST_F(MeterChoiceTest, MakersAndModelsShowAsTheyAreSpelt) {
    QStringList shownMakers, shownModels;
    for (QMenu* sub : window->meterMenu()->findChildren<QMenu*>()) shownMakers << shownText(sub->title());
    for (QAction* a : window->meterMenu()->findChildren<QAction*>())
        if (a->isCheckable()) shownModels << shownText(a->text());
    for (const MeterModel& m : meterlink::meterTable()) {
        const QString maker = QString::fromUtf8(m.maker.data(), int(m.maker.size()));
        if (!maker.isEmpty()) {
            EXPECT_TRUE(shownMakers.contains(maker)) << maker.toStdString();
        }
        const QString model = QString::fromUtf8(m.model.data(), int(m.model.size()));
        EXPECT_TRUE(shownModels.contains(model)) << model.toStdString();
    }
}

TEST_F(MeterChoiceTest, ChoiceFromTheMenuIsKeptAndRefusedWhileALinkIsOpen) {
    const MeterModel& es = rowOf(MeterProtocol::Es51922, true);
    QAction* item = window->meterMenu()->findChild<QAction*>(QString::fromStdString(meterlink::meterName(es)));
    ASSERT_NE(item, nullptr);
    item->trigger();
    EXPECT_EQ(&window->meter(), &es);
    EXPECT_EQ(meter_setting::stored(), QString::fromStdString(meterlink::meterName(es)));

    // With the serial link open the choice is refused, and the mark stays.
    QTest::mouseClick(window->connection().COMCon(), Qt::LeftButton);
    ASSERT_TRUE(window->COMM2().Connected());
    QAction* shipped = window->meterMenu()->findChild<QAction*>(
        QString::fromStdString(meterlink::meterName(meterlink::defaultMeter())));
    shipped->trigger();
    EXPECT_EQ(&window->meter(), &es);
    EXPECT_TRUE(item->isChecked());
    EXPECT_EQ(meter_setting::stored(), QString::fromStdString(meterlink::meterName(es)));
    QTest::mouseClick(window->connection().COMCon(), Qt::LeftButton);
}

// A 22000-count meter reading 1.2345 V on its 2.2 V range over the serial
// line: five digits on the LCD, the axis at its range.
TEST_F(MeterChoiceTest, TwentyTwoThousandCountMeterShowsFiveDigits) {
    const MeterModel& es = rowOf(MeterProtocol::Es51922, true);
    ASSERT_TRUE(window->chooseMeter(es, false));
    QTest::mouseClick(window->connection().COMCon(), Qt::LeftButton);
    ASSERT_TRUE(window->COMM2().Connected());
    // Range 0 (2.2000 V), digits 12345, voltage, DC and auto range.
    const QByteArray frame("012345;000:0\r\n");
    QByteArray stream;
    for (int i = 0; i < 3; ++i) stream += frame;
    ASSERT_TRUE(pty.write(stream.constData(), static_cast<std::size_t>(stream.size())));
    ASSERT_TRUE(waitFor([&] { return window->lcd()->digit(4) == '5'; }));
    const LcdPanel& lcd = *window->lcd();
    EXPECT_EQ(lcd.digitPlaces(), 5);
    EXPECT_EQ(QString() + lcd.digit(0) + lcd.digit(1) + lcd.digit(2) + lcd.digit(3) + lcd.digit(4),
              QStringLiteral("12345"));
    EXPECT_TRUE(lcd.state().shown(meterlink::Lcd::P1));
    EXPECT_TRUE(lcd.state().shown(meterlink::Lcd::V));
    EXPECT_TRUE(lcd.state().shown(meterlink::Lcd::Dc1));
    EXPECT_TRUE(lcd.state().shown(meterlink::Lcd::Auto));
    EXPECT_EQ(window->limits().T1VALUE()->text(), QStringLiteral("1.2345"));
    EXPECT_NEAR(axis()->max(), 2.2, 1e-9);
    QTest::qWait(100);
    saveScreenshot(window->grab(), "meter_22000_count_five_digits.png");
    QTest::mouseClick(window->connection().COMCon(), Qt::LeftButton);
}

TEST_F(MeterChoiceTest, UnderflowIsShownAsULAndTheTitleNamesTheMeter) {
    const MeterModel& es = rowOf(MeterProtocol::Es51922, true);
    ASSERT_TRUE(window->chooseMeter(es, false));
    EXPECT_TRUE(window->windowTitle().endsWith(QStringLiteral(" - UNI-T UT61E"))) << qPrintable(window->windowTitle());
    QTest::mouseClick(window->connection().COMCon(), Qt::LeftButton);
    ASSERT_TRUE(window->COMM2().Connected());
    // Frequency, 22 Hz range, the underflow bit set: the meter shows "UL".
    const QByteArray frame("000000200820\r\n");
    ASSERT_TRUE(pty.write(frame.constData(), static_cast<std::size_t>(frame.size())));
    ASSERT_TRUE(waitFor([&] { return window->limits().T1VALUE()->text() == QStringLiteral("UL"); }));
    const LcdPanel& lcd = *window->lcd();
    EXPECT_EQ(QString() + lcd.digit(1) + lcd.digit(2), QStringLiteral("U@"));
    EXPECT_FALSE(lcd.state().shown(meterlink::Lcd::P1));
    EXPECT_EQ(window->reading().JudgeText, "Fail");
    QTest::qWait(100);
    saveScreenshot(window->grab(), "meter_underflow_ul.png");
    QTest::mouseClick(window->connection().COMCon(), Qt::LeftButton);
    ASSERT_TRUE(window->chooseMeter(meterlink::defaultMeter(), false));
    EXPECT_FALSE(window->windowTitle().contains(QStringLiteral("UT61E")));
}

TEST_F(MeterChoiceTest, BytesOfAnotherModelAreToldInTheStatusLine) {
    ASSERT_TRUE(window->chooseMeter(rowOf(MeterProtocol::Es51986), false));
    QTest::mouseClick(window->connection().COMCon(), Qt::LeftButton);
    ASSERT_TRUE(window->COMM2().Connected());
    const QString notice = QStringLiteral("bytes arrive but none form a frame of ") +
                           QString::fromStdString(meterlink::meterName(rowOf(MeterProtocol::Es51986))) +
                           QStringLiteral(": check the meter model");
    // A UT61E's frames reach a window set for another model, for six seconds.
    const QByteArray frame("012345;000:0\r\n");
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 6000 && window->statusBar()->currentMessage() != notice) {
        ASSERT_TRUE(pty.write(frame.constData(), static_cast<std::size_t>(frame.size())));
        QTest::qWait(100);
    }
    EXPECT_EQ(window->statusBar()->currentMessage(), notice);
    saveScreenshot(window->grab(), "meter_bytes_form_no_frame.png");
    QTest::mouseClick(window->connection().COMCon(), Qt::LeftButton);
}

}  // namespace
