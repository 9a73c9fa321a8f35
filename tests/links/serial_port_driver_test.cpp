#include "links/serial_port_driver.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <pty.h>
#include <sys/select.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {

// Long enough that no tick falls inside a step that must run without one.
constexpr quint16 kNoTicks = 60000;
constexpr int kWaitMs = 5000;

// A pseudo-terminal pair: the driver opens the slave by path, the test plays
// the meter on the master.
class Pty {
public:
    Pty() {
        if (::openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0)
            throw std::runtime_error("openpty failed");
        termios raw{};
        ::tcgetattr(master_, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(master_, TCSANOW, &raw);
        path_ = QString::fromLocal8Bit(::ttyname(slave_));
    }
    ~Pty() {
        closeMaster();
        ::close(slave_);
    }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    QString path() const { return path_; }

    void write(const QByteArray& bytes) {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(master_, bytes.constData() + done,
                                      static_cast<size_t>(bytes.size() - done));
            if (n < 0 && errno == EINTR)
                continue;
            ASSERT_GT(n, 0) << "write to pty master failed";
            done += n;
        }
    }

    void closeMaster() {
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }

    // What the driver has sent so far and the meter's side has not read.
    QByteArray readSent() {
        QByteArray bytes;
        char chunk[256];
        for (;;) {
            fd_set set;
            FD_ZERO(&set);
            FD_SET(master_, &set);
            timeval none{0, 0};
            if (::select(master_ + 1, &set, nullptr, nullptr, &none) <= 0)
                return bytes;
            const ssize_t n = ::read(master_, chunk, sizeof chunk);
            if (n <= 0)
                return bytes;
            bytes.append(chunk, n);
        }
    }

    // The line as the system holds it for the port.
    termios line() const {
        termios t{};
        ::tcgetattr(slave_, &t);
        return t;
    }

private:
    int master_ = -1;
    int slave_ = -1;
    QString path_;
};

QByteArray pattern(int size) {
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i % 251);
    return bytes;
}

// A driver on COM1 wired to a fresh pty, recording what each event hands over.
struct Bench {
    explicit Bench(quint16 pollingDelay = 10) {
        qputenv("METERLINK_COM1", pty.path().toLocal8Bit());
        driver.setComPort(TSerialPortDriver::pnCOM1);
        driver.setComPortSpeed(TSerialPortDriver::br2400);
        driver.setComPortPollingDelay(pollingDelay);
        driver.setOnReceiveData([this](TSerialPortDriver* sender, const std::uint8_t* data, int size) {
            EXPECT_EQ(sender, &driver);
            EXPECT_GE(size, 1);
            events.emplace_back(reinterpret_cast<const char*>(data), size);
        });
    }

    QByteArray received() const {
        QByteArray all;
        for (const auto& e : events)
            all += e;
        return all;
    }
    bool waitForBytes(qsizetype count) const {
        return QTest::qWaitFor([&] { return received().size() >= count; }, kWaitMs);
    }
    // The driver's own port and timer, to look at what it holds queued and whether it polls.
    QSerialPort* serial() const { return driver.findChild<QSerialPort*>(); }
    QTimer* timer() const { return driver.findChild<QTimer*>(); }
    bool waitForQueued(qint64 count) const {
        return QTest::qWaitFor([&] { return serial()->bytesAvailable() == count; }, kWaitMs);
    }

    Pty pty;
    TSerialPortDriver driver;
    std::vector<QByteArray> events;
};

TEST(SerialPortDriverNames, EnvironmentOverridesTheFixedDevice) {
    const auto ports = {TSerialPortDriver::pnCOM1, TSerialPortDriver::pnCOM2,
                        TSerialPortDriver::pnCOM3, TSerialPortDriver::pnCOM4};
    for (const auto port : ports) {
        const int n = static_cast<int>(port);
        const QByteArray var = "METERLINK_COM" + QByteArray::number(n + 1);
        const QByteArray saved = qgetenv(var.constData());
        const QString fixed = QStringLiteral("/dev/ttyS%1").arg(n);

        qunsetenv(var.constData());
        EXPECT_EQ(TSerialPortDriver::deviceName(port), fixed);
        qputenv(var.constData(), QByteArray());
        EXPECT_EQ(TSerialPortDriver::deviceName(port), fixed);
        qputenv(var.constData(), "/dev/pts/77");
        EXPECT_EQ(TSerialPortDriver::deviceName(port), QStringLiteral("/dev/pts/77"));

        qputenv(var.constData(), saved);
    }
}

TEST(SerialPortDriver, MissingPortFailsWithReasonAndNeverPolls) {
    Bench b;
    qputenv("METERLINK_COM2", "/dev/meterlink-no-such-port");
    b.driver.setComPort(TSerialPortDriver::pnCOM2);

    EXPECT_FALSE(b.driver.Connect());
    EXPECT_FALSE(b.driver.Connected());
    EXPECT_TRUE(b.driver.lastError().contains(QStringLiteral("does not exist"))) << b.driver.lastError().toStdString();
    EXPECT_FALSE(b.timer()->isActive());
    b.driver.Disconnect();
    EXPECT_FALSE(b.driver.Connected());

    // The port turns up: the next Connect tries again and clears the reason.
    qputenv("METERLINK_COM2", b.pty.path().toLocal8Bit());
    ASSERT_TRUE(b.driver.Connect());
    EXPECT_TRUE(b.driver.lastError().isEmpty());
    b.pty.write("ok");
    ASSERT_TRUE(b.waitForBytes(2));
    EXPECT_EQ(b.received(), "ok");
}

TEST(SerialPortDriver, DeliversEveryByteValueInOrder) {
    Bench b;
    ASSERT_TRUE(b.driver.Connect());
    // All 256 values twice: a line left cooked would turn CR into LF or swallow
    // control characters, and the meter's frames are binary.
    QByteArray bytes;
    for (int round = 0; round < 2; ++round)
        for (int v = 0; v < 256; ++v)
            bytes.append(static_cast<char>(v));
    b.pty.write(bytes.left(100));
    b.pty.write(bytes.mid(100));
    ASSERT_TRUE(b.waitForBytes(bytes.size()));
    EXPECT_EQ(b.received(), bytes);
}

TEST(SerialPortDriver, TickWithNothingQueuedFiresNoEvent) {
    Bench b;
    int ticks = 0;
    ASSERT_TRUE(b.driver.Connect());
    QObject::connect(b.timer(), &QTimer::timeout, [&] { ++ticks; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return ticks >= 5; }, kWaitMs));
    EXPECT_TRUE(b.events.empty());
}

TEST(SerialPortDriver, SecondConnectKeepsQueueAndTimer) {
    Bench b(kNoTicks);
    ASSERT_TRUE(b.driver.Connect());
    b.pty.write("abc");
    ASSERT_TRUE(b.waitForQueued(3));

    EXPECT_TRUE(b.driver.Connect());
    EXPECT_EQ(b.serial()->bytesAvailable(), 3);
    EXPECT_TRUE(b.timer()->isActive());
    EXPECT_EQ(b.timer()->interval(), kNoTicks);

    // A new period restarts polling at once, and the queued bytes come through.
    b.driver.setComPortPollingDelay(10);
    EXPECT_EQ(b.timer()->interval(), 10);
    ASSERT_TRUE(b.waitForBytes(3));
    EXPECT_EQ(b.received(), "abc");
}

TEST(SerialPortDriver, BacklogComesInBufferSizedEventsInOrder) {
    struct Case {
        quint16 bufSize;  // 0: left at its default
        int backlog;
    };
    for (const Case c : {Case{0, 3000}, Case{100, 1000}}) {
        SCOPED_TRACE(c.bufSize);
        Bench b(kNoTicks);
        if (c.bufSize != 0)
            b.driver.setComPortInBufSize(c.bufSize);
        const int bufSize = b.driver.ComPortInBufSize();
        ASSERT_TRUE(b.driver.Connect());
        const QByteArray backlog = pattern(c.backlog);
        b.pty.write(backlog);
        // Only one buffer's worth is pulled from the system; the rest waits there.
        ASSERT_TRUE(b.waitForQueued(bufSize));

        b.driver.setComPortPollingDelay(10);
        ASSERT_TRUE(b.waitForBytes(backlog.size()));
        EXPECT_EQ(b.received(), backlog);
        EXPECT_EQ(b.events.front().size(), bufSize);
        for (const auto& e : b.events)
            EXPECT_LE(e.size(), bufSize);
    }
}

TEST(SerialPortDriver, PortAndBufferSizeSetWhileOpenAreLost) {
    Bench b;
    ASSERT_TRUE(b.driver.Connect());
    b.driver.setComPort(TSerialPortDriver::pnCOM3);
    b.driver.setComPortInBufSize(16);
    EXPECT_EQ(b.driver.ComPort(), TSerialPortDriver::pnCOM1);
    EXPECT_EQ(b.driver.ComPortInBufSize(), 2048);

    b.driver.Disconnect();
    EXPECT_FALSE(b.driver.Connected());
    EXPECT_FALSE(b.timer()->isActive());
    EXPECT_EQ(b.driver.ComPort(), TSerialPortDriver::pnCOM1);
    EXPECT_EQ(b.driver.ComPortInBufSize(), 2048);

    // COM1 is opened again.
    ASSERT_TRUE(b.driver.Connect());
    b.pty.write("again");
    ASSERT_TRUE(b.waitForBytes(5));
    EXPECT_EQ(b.received(), "again");
}

TEST(SerialPortDriver, DegenerateSizesKeepThePortUsable) {
    Bench b(0);
    b.driver.setComPortInBufSize(0);
    EXPECT_EQ(b.driver.ComPortInBufSize(), 2048);
    ASSERT_TRUE(b.driver.Connect());
    // A zero period must not turn the poll into a busy loop.
    EXPECT_GT(b.timer()->interval(), 0);
    b.pty.write("xyz");
    ASSERT_TRUE(b.waitForBytes(3));
    EXPECT_EQ(b.received(), "xyz");
}

TEST(SerialPortDriver, LineChangeWhileOpenPurgesQueuedInput) {
    using D = TSerialPortDriver;
    const std::vector<std::pair<const char*, std::function<void(D&)>>> changes = {
        {"speed", [](D& d) { d.setComPortSpeed(D::br9600); }},
        {"same speed", [](D& d) { d.setComPortSpeed(D::br2400); }},
        {"data bits", [](D& d) { d.setComPortDataBits(D::db7BITS); }},
        {"stop bits", [](D& d) { d.setComPortStopBits(D::sb2BITS); }},
        {"parity", [](D& d) { d.setComPortParity(D::ptEVEN); }},
        {"hardware handshake", [](D& d) { d.setComPortHwHandshaking(D::hhRTSCTS); }},
        {"software handshake", [](D& d) { d.setComPortSwHandshaking(D::shXONXOFF); }},
        {"apply", [](D& d) { d.ApplySettings(); }},
    };
    for (const auto& [name, change] : changes) {
        SCOPED_TRACE(name);
        Bench b(kNoTicks);
        ASSERT_TRUE(b.driver.Connect());
        b.pty.write("old");
        ASSERT_TRUE(b.waitForQueued(3));

        change(b.driver);
        EXPECT_EQ(b.serial()->bytesAvailable(), 0);
        EXPECT_TRUE(b.driver.Connected());

        b.pty.write("new");
        b.driver.setComPortPollingDelay(10);
        ASSERT_TRUE(b.waitForBytes(3));
        EXPECT_EQ(b.received(), "new");
    }
}

TEST(SerialPortDriver, VanishedFarSideIsReportedOnceAndNotPolled) {
    Bench b;
    QSignalSpy lost(&b.driver, &TSerialPortDriver::portLostDetected);
    ASSERT_TRUE(b.driver.Connect());
    int errors = 0;
    QObject::connect(b.serial(), &QSerialPort::errorOccurred, [&](QSerialPort::SerialPortError e) {
        if (e != QSerialPort::NoError)
            ++errors;
    });
    b.pty.write("abc");
    ASSERT_TRUE(b.waitForBytes(3));

    b.pty.closeMaster();
    ASSERT_TRUE(QTest::qWaitFor([&] { return b.driver.portLost(); }, kWaitMs));
    // A handle still read after the loss reports an error on every event-loop pass.
    QTest::qWait(200);
    EXPECT_EQ(lost.count(), 1);
    EXPECT_FALSE(lost.at(0).at(0).toString().isEmpty());
    EXPECT_LE(errors, 2);
    EXPECT_FALSE(b.timer()->isActive());
    EXPECT_TRUE(b.driver.Connected());
    EXPECT_EQ(b.received(), "abc");

    const int errorsBeforeDisconnect = errors;
    b.driver.Disconnect();
    EXPECT_FALSE(b.driver.Connected());
    EXPECT_FALSE(b.driver.portLost());
    EXPECT_EQ(errors, errorsBeforeDisconnect);

    // The meter comes back on another device: a new Connect reads it.
    Pty again;
    qputenv("METERLINK_COM1", again.path().toLocal8Bit());
    ASSERT_TRUE(b.driver.Connect());
    EXPECT_FALSE(b.driver.portLost());
    again.write("def");
    ASSERT_TRUE(b.waitForBytes(6));
    EXPECT_EQ(b.received(), "abcdef");
    EXPECT_EQ(lost.count(), 1);
}

TEST(SerialPortDriver, APathOpensInsteadOfThePortAndBytesMayComeAsTheyArrive) {
    Bench b(kNoTicks);
    qputenv("METERLINK_COM1", "/dev/meterlink-no-such-port");
    b.driver.setPortPath(b.pty.path());
    b.driver.setReadOnArrival(true);
    ASSERT_TRUE(b.driver.Connect()) << qPrintable(b.driver.lastError());
    EXPECT_FALSE(b.timer()->isActive()) << "no poll timer while reading on arrival";
    const QByteArray bytes = pattern(3000);   // more than one receive buffer
    b.pty.write(bytes);
    ASSERT_TRUE(b.waitForBytes(bytes.size()));
    EXPECT_EQ(b.received(), bytes);
    for (const QByteArray& e : b.events) EXPECT_LE(e.size(), 2048);

    // Loss and return behave as with polling; the path is kept while open.
    QSignalSpy lost(&b.driver, &TSerialPortDriver::portLostDetected);
    b.driver.setPortPath(QStringLiteral("/dev/elsewhere"));
    EXPECT_EQ(b.driver.portPath(), b.pty.path());
    b.pty.closeMaster();
    ASSERT_TRUE(QTest::qWaitFor([&] { return b.driver.portLost(); }, kWaitMs));
    EXPECT_EQ(lost.count(), 1);
    b.driver.Disconnect();
    Pty again;
    b.driver.setPortPath(again.path());
    ASSERT_TRUE(b.driver.Connect());
    again.write("back");
    ASSERT_TRUE(b.waitForBytes(bytes.size() + 4));
    EXPECT_EQ(b.received().right(4), "back");
}

TEST(SerialPortDriver, PortIsExclusiveAndFreedByDestruction) {
    Bench b;
    auto first = std::make_unique<TSerialPortDriver>();
    first->setComPort(TSerialPortDriver::pnCOM1);
    ASSERT_TRUE(first->Connect());

    EXPECT_FALSE(b.driver.Connect());
    EXPECT_TRUE(b.driver.lastError().contains(QStringLiteral("in use by another program")))
        << b.driver.lastError().toStdString();

    first.reset();
    ASSERT_TRUE(b.driver.Connect());
    b.pty.write("z");
    ASSERT_TRUE(b.waitForBytes(1));
}

} // namespace

namespace {

struct LineCase {
    const char* name;
    TSerialPortDriver::TComPortDataBits dataBits;
    TSerialPortDriver::TComPortParity parity;
    TSerialPortDriver::TComPortStopBits stopBits;
    QSerialPort::StopBits qtStopBits;
};

class SerialLineSettings : public ::testing::TestWithParam<LineCase> {};

}  // namespace

// What the meter table asks for is set on the open line. A pty keeps 8 bits
// without parity whatever it is told, so only the stop bits can be seen there.
TEST_P(SerialLineSettings, StopBitsReachTheOpenLine) {
    const LineCase& c = GetParam();
    Bench b(kNoTicks);
    b.driver.setComPortDataBits(c.dataBits);
    b.driver.setComPortParity(c.parity);
    b.driver.setComPortStopBits(c.stopBits);
    ASSERT_TRUE(b.driver.Connect());
    EXPECT_EQ((b.pty.line().c_cflag & CSTOPB) != 0, c.qtStopBits == QSerialPort::TwoStop);
}

INSTANTIATE_TEST_SUITE_P(
    MeterLines, SerialLineSettings,
    ::testing::Values(LineCase{"8N1", TSerialPortDriver::db8BITS, TSerialPortDriver::ptNONE, TSerialPortDriver::sb1BITS, QSerialPort::OneStop},
                      LineCase{"7N2", TSerialPortDriver::db7BITS, TSerialPortDriver::ptNONE, TSerialPortDriver::sb2BITS, QSerialPort::TwoStop},
                      LineCase{"7O1", TSerialPortDriver::db7BITS, TSerialPortDriver::ptODD, TSerialPortDriver::sb1BITS, QSerialPort::OneStop},
                      LineCase{"7E1", TSerialPortDriver::db7BITS, TSerialPortDriver::ptEVEN, TSerialPortDriver::sb1BITS, QSerialPort::OneStop}),
    [](const ::testing::TestParamInfo<LineCase>& c) { return std::string(c.param.name); });

TEST(SerialPortDriver, PollCommandIsSentAtOnceThenEveryIntervalUntilDisconnect) {
    Bench b(kNoTicks);
    b.driver.setPollCommand("D", 40);
    ASSERT_TRUE(b.driver.Connect());
    QByteArray sent;
    // The first goes out on opening, long before the first interval ends.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !(sent += b.pty.readSent()).isEmpty(); }, 30));
    ASSERT_TRUE(QTest::qWaitFor([&] { return (sent += b.pty.readSent()).size() >= 4; }, kWaitMs));
    EXPECT_EQ(sent, QByteArray(sent.size(), 'D'));

    b.driver.Disconnect();
    b.pty.readSent();
    QTest::qWait(150);
    EXPECT_TRUE(b.pty.readSent().isEmpty());

    // Opened again, it asks again.
    ASSERT_TRUE(b.driver.Connect());
    ASSERT_TRUE(QTest::qWaitFor([&] { return b.pty.readSent() == "D"; }, kWaitMs));
}

TEST(SerialPortDriver, WithoutAPollCommandNothingIsSent) {
    Bench b(10);
    ASSERT_TRUE(b.driver.Connect());
    b.pty.write("xyz");
    ASSERT_TRUE(b.waitForBytes(3));
    QTest::qWait(50);
    EXPECT_TRUE(b.pty.readSent().isEmpty());
}

TEST(SerialPortDriver, BaudRatesMapToTheirEnumerators) {
    TSerialPortDriver::TComPortBaudRate rate{};
    for (int bps : {600, 1200, 2400, 9600, 19200}) {
        ASSERT_TRUE(TSerialPortDriver::baudRateOf(bps, rate)) << bps;
        EXPECT_EQ(TSerialPortDriver::baudRateValue(rate), bps);
    }
    EXPECT_FALSE(TSerialPortDriver::baudRateOf(2401, rate));
}

// Modem lines: a pty has none, so every attempt to drive DTR or RTS is
// refused with an error. A line left as is must not be touched at all, which
// is what some meters' cables need.
TEST(SerialPortDriver, ModemLinesLeftAsIsAreNotTouched) {
    using D = TSerialPortDriver;
    struct Case {
        const char* name;
        D::TLineLevel dtr;
        D::TLineLevel rts;
        bool touched;
    };
    const Case cases[] = {
        {"both as is", D::llAsIs, D::llAsIs, false},
        {"DTR high", D::llHigh, D::llAsIs, true},
        {"RTS low", D::llAsIs, D::llLow, true},
        {"the shipped lines", D::llHigh, D::llLow, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bench b(kNoTicks);
        b.driver.setDtrOnOpen(c.dtr);
        b.driver.setRtsOnOpen(c.rts);
        ASSERT_TRUE(b.driver.Connect());
        int refusals = 0;
        QObject::connect(b.serial(), &QSerialPort::errorOccurred, [&](QSerialPort::SerialPortError e) {
            if (e != QSerialPort::NoError)
                ++refusals;
        });
        b.driver.ApplySettings();
        EXPECT_EQ(refusals > 0, c.touched);
        EXPECT_TRUE(b.driver.Connected());
    }
}

TEST(SerialPortDriver, BooleanLinePropertiesMapToHighAndLow) {
    TSerialPortDriver d;
    EXPECT_EQ(d.DtrOnOpen(), TSerialPortDriver::llHigh);
    EXPECT_EQ(d.RtsOnOpen(), TSerialPortDriver::llLow);
    d.setDtrOnOpen(TSerialPortDriver::llAsIs);
    EXPECT_FALSE(d.EnableDTROnOpen());
    d.setEnableDTROnOpen(true);
    EXPECT_EQ(d.DtrOnOpen(), TSerialPortDriver::llHigh);
    d.setEnableRTSOnOpen(true);
    EXPECT_EQ(d.RtsOnOpen(), TSerialPortDriver::llHigh);
}

// A polled meter that stops answering is reported once, the polls go on, and
// its next answer ends the silence. Bytes arriving in time keep it quiet.
TEST(SerialPortDriver, PolledMeterThatStopsAnsweringIsReportedAndItsReturnToo) {
    Bench b(10);
    b.driver.setPollCommand("QM\r", 20);
    b.driver.setAnswerTimeout(200);
    QStringList silences;
    int returns = 0;
    QObject::connect(&b.driver, &TSerialPortDriver::meterSilentDetected, [&](const QString& r) { silences << r; });
    QObject::connect(&b.driver, &TSerialPortDriver::meterAnswers, [&] { ++returns; });
    ASSERT_TRUE(b.driver.Connect());

    // Answering each request: never silent.
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 400) {
        if (!b.pty.readSent().isEmpty()) b.pty.write("0\r");
        QTest::qWait(5);
    }
    EXPECT_TRUE(silences.isEmpty());
    EXPECT_FALSE(b.driver.meterSilent());

    // Silent: reported once, however long it lasts, and still asked.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !silences.isEmpty(); }, kWaitMs));
    QTest::qWait(300);
    EXPECT_EQ(silences.size(), 1);
    EXPECT_TRUE(silences.front().contains("does not answer")) << silences.front().toStdString();
    EXPECT_TRUE(b.driver.meterSilent());
    EXPECT_TRUE(b.driver.Connected());
    b.pty.readSent();
    ASSERT_TRUE(QTest::qWaitFor([&] { return b.pty.readSent().contains("QM\r"); }, kWaitMs));

    // Answering again: back, with the bytes delivered.
    const auto before = b.received().size();
    b.pty.write("0\r");
    ASSERT_TRUE(QTest::qWaitFor([&] { return returns == 1; }, kWaitMs));
    EXPECT_FALSE(b.driver.meterSilent());
    EXPECT_EQ(b.received().size(), before + 2);
}
