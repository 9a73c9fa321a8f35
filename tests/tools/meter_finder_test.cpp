// Finding meters: simulated meters on ptys (streaming, polled, silent, two at
// once), a port that will not open, and meter cables recognised by USB id.
#include "fake_meter_pty.h"
#include "links/simulated_hid_platform.h"
#include "links/usb_cable_ids.h"
#include "meter_finder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using meterlink::FoundMeter;
using meterlink::MeterFinder;
using meterlink::MeterModel;

// Short steps: the fake meters send 20 frames a second and answer at once;
// a polled step lasts long enough for the second request (sent after 1 s).
constexpr meterlink::ProbeTiming kQuick{500, 1500};

const MeterModel& row(const char* name) { return *meterlink::findMeter(name); }

std::vector<FoundMeter> find(MeterFinder::Options options, int timeoutMs = 20000) {
    options.timing = kQuick;
    MeterFinder finder(options);
    QSignalSpy done(&finder, &MeterFinder::finished);
    finder.start();
    EXPECT_TRUE(done.count() > 0 || done.wait(timeoutMs));
    return finder.results();
}

bool hasCandidate(const FoundMeter& f, const MeterModel& m) {
    return std::find(f.candidates.begin(), f.candidates.end(), &m) != f.candidates.end();
}

struct PortCase {
    const char* name;
    const char* model;
    FakeMeterPty::Kind kind;
    FoundMeter::Status status;
};

void PrintTo(const PortCase& c, std::ostream* os) { *os << c.name; }

class FindOnPort : public ::testing::TestWithParam<PortCase> {};

TEST_P(FindOnPort, tells_what_answered) {
    const PortCase& c = GetParam();
    const MeterModel& model = row(c.model);
    FakeMeterPty meter(model, c.kind);
    ASSERT_TRUE(meter.ok());
    MeterFinder::Options options;
    options.ports << QString::fromStdString(meter.path());
    const auto results = find(options);
    ASSERT_EQ(results.size(), 1u);
    const FoundMeter& f = results.front();
    EXPECT_EQ(f.port.toStdString(), meter.path());
    EXPECT_EQ(f.status, c.status) << f.trouble.toStdString();
    if (c.status == FoundMeter::Status::Found) {
        ASSERT_TRUE(f.protocol.has_value());
        EXPECT_EQ(*f.protocol, model.protocol);
        EXPECT_TRUE(hasCandidate(f, model));
        for (const MeterModel* m : f.candidates) EXPECT_EQ(m->protocol, model.protocol);
        EXPECT_TRUE(f.reading.contains(QStringLiteral("V"))) << f.reading.toStdString();
        EXPECT_FALSE(f.line.isEmpty());
    } else {
        EXPECT_FALSE(f.protocol.has_value());
        EXPECT_TRUE(f.candidates.empty());
    }
    // A meter found by listening is sent nothing; the others are asked.
    if (c.kind == FakeMeterPty::Kind::Streams) {
        EXPECT_EQ(meter.bytesReceived(), 0);
    } else {
        EXPECT_GT(meter.requests(), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Meters, FindOnPort,
    ::testing::Values(
        PortCase{"streaming_fs9721", "UNI-T UT60E", FakeMeterPty::Kind::Streams, FoundMeter::Status::Found},
        PortCase{"streaming_es51922_after_the_slower_lines", "UNI-T UT61E", FakeMeterPty::Kind::Streams,
                 FoundMeter::Status::Found},
        // A pty answers at any line, so the meter is one of the first polled line's.
        PortCase{"polled_metex_answers_D", "MASTECH MAS345", FakeMeterPty::Kind::Answers, FoundMeter::Status::Found},
        PortCase{"silent_port", "UNI-T UT60E", FakeMeterPty::Kind::Silent, FoundMeter::Status::Silent}),
    [](const auto& tp) { return std::string(tp.param.name); });

TEST(FindMeters, two_meters_at_once_on_two_ports_and_a_port_that_will_not_open) {
    FakeMeterPty streaming(row("UNI-T UT60E"), FakeMeterPty::Kind::Streams);
    FakeMeterPty polled(row("MASTECH MAS345"), FakeMeterPty::Kind::Answers);
    MeterFinder::Options options;
    options.ports << QString::fromStdString(streaming.path()) << QString::fromStdString(polled.path())
                  << QStringLiteral("/dev/meterlink-no-such-port");
    const auto results = find(options);
    ASSERT_EQ(results.size(), 3u);
    EXPECT_EQ(results[0].status, FoundMeter::Status::Found);
    EXPECT_EQ(results[0].protocol, meterlink::MeterProtocol::Fs9721);
    EXPECT_EQ(results[1].status, FoundMeter::Status::Found);
    EXPECT_EQ(results[1].protocol, meterlink::MeterProtocol::Metex14);
    EXPECT_EQ(results[2].status, FoundMeter::Status::Failed);
    EXPECT_FALSE(results[2].trouble.isEmpty());
    EXPECT_TRUE(meterlink::foundMeterText(results[2]).contains(QStringLiteral("not tried")));
}

TEST(FindMeters, a_busy_port_is_listed_with_the_reason) {
    FakeMeterPty meter(row("UNI-T UT60E"), FakeMeterPty::Kind::Streams);
    TSerialPortDriver holder;
    holder.setPortPath(QString::fromStdString(meter.path()));
    ASSERT_TRUE(holder.Connect());
    MeterFinder::Options options;
    options.ports << QString::fromStdString(meter.path());
    const auto results = find(options);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].status, FoundMeter::Status::Failed);
    EXPECT_FALSE(results[0].trouble.isEmpty());
}

// A serial-port server on the network: the meter's frames come over TCP.
TEST(FindMeters, a_network_port_is_listened_to_once_at_the_server_s_line) {
    const MeterModel& model = row("UNI-T UT60E");
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    QTimer frames;
    QTcpSocket* client = nullptr;
    int received = 0;
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        client = server.nextPendingConnection();
        QObject::connect(client, &QTcpSocket::readyRead, [&] { received += static_cast<int>(client->readAll().size()); });
    });
    QObject::connect(&frames, &QTimer::timeout, [&] {
        if (!client) return;
        meterlink::DisplaySpec spec;
        spec.count = 1234;
        spec.pointAfter = 1;
        const meterlink::FamilyFrame f = meterlink::encodeFamilyFrame(model, spec);
        client->write(reinterpret_cast<const char*>(f.bytes.data()), static_cast<qint64>(f.size));
    });
    frames.start(50);
    MeterFinder::Options options;
    options.ports << QStringLiteral("tcp://127.0.0.1:%1").arg(server.serverPort());
    const auto results = find(options);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].status, FoundMeter::Status::Found) << results[0].trouble.toStdString();
    EXPECT_EQ(results[0].protocol, meterlink::MeterProtocol::Fs9721);
    EXPECT_TRUE(results[0].line.isEmpty());   // the server's, not known here
    EXPECT_TRUE(meterlink::foundMeterText(results[0]).startsWith(options.ports[0] + QStringLiteral(": FS9721, reading ")))
        << meterlink::foundMeterText(results[0]).toStdString();
    EXPECT_TRUE(hasCandidate(results[0], model));
    EXPECT_EQ(received, 0);
}

class CableById : public ::testing::TestWithParam<meterlink::UsbCableId> {};

TEST_P(CableById, is_recognised_with_the_meters_sold_with_it) {
    const meterlink::UsbCableId& id = GetParam();
    auto hid = std::make_shared<SimulatedHidPlatform>();
    SimulatedHidPlatform::Device cable = SimulatedHidPlatform::cable("cable");
    cable.attributes.VendorID = id.vendorId;
    cable.attributes.ProductID = id.productId;
    hid->plug(cable);
    SimulatedHidPlatform::Device mouse = SimulatedHidPlatform::cable("mouse");
    mouse.attributes.VendorID = 0x046d;
    mouse.attributes.ProductID = 0xc077;
    mouse.product = u"USB Optical Mouse";
    hid->plug(mouse);
    MeterFinder::Options options;
    options.usb = true;
    options.hid = hid;
    const auto results = find(options);
    ASSERT_EQ(results.size(), 1u);
    const FoundMeter& f = results.front();
    EXPECT_EQ(f.status, FoundMeter::Status::Found);
    EXPECT_EQ(f.cable, id.cable);
    EXPECT_EQ(f.bridge.toStdString(), id.bridge);
    EXPECT_EQ(f.usbId, QStringLiteral("%1:%2").arg(id.vendorId, 4, 16, QLatin1Char('0')).arg(id.productId, 4, 16, QLatin1Char('0')));
    EXPECT_EQ(f.candidates, meterlink::cableCandidates(meterlink::meterTable(), id.cable));
    EXPECT_TRUE(f.trouble.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Cables, CableById, ::testing::ValuesIn(meterlink::kUsbCableIds),
                         [](const auto& tp) {
                             std::string name(tp.param.bridge);
                             for (char& ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return name;
                         });

TEST(FindMeters, a_cable_the_user_may_not_open_says_what_to_do) {
    auto hid = std::make_shared<SimulatedHidPlatform>();
    SimulatedHidPlatform::Device cable = SimulatedHidPlatform::cable("cable");
    cable.attributes.VendorID = 0x10c4;
    cable.attributes.ProductID = 0xea80;
    cable.readWrite = false;
    hid->plug(cable);
    MeterFinder::Options options;
    options.usb = true;
    options.hid = hid;
    const auto results = find(options);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_TRUE(results[0].trouble.contains(QStringLiteral("udev"))) << results[0].trouble.toStdString();
}

// The command against the simulator, as a user runs it.
TEST(DetectCommand, finds_the_simulated_meter_and_prints_json) {
    QProcess sim;
    sim.start(QStringLiteral(METERLINK_CLI),
              {QStringLiteral("simulate"), QStringLiteral("--meter"), QStringLiteral("UT60E"), QStringLiteral("--rate"),
               QStringLiteral("10")});
    ASSERT_TRUE(sim.waitForReadyRead(5000));
    const QString pty = QString::fromLocal8Bit(sim.readLine()).trimmed();
    QProcess detect;
    detect.start(QStringLiteral(METERLINK_CLI), {QStringLiteral("detect"), QStringLiteral("--port"), pty, QStringLiteral("--json")});
    ASSERT_TRUE(detect.waitForFinished(30000));
    sim.terminate();
    sim.waitForFinished(3000);
    EXPECT_EQ(detect.exitCode(), 0) << detect.readAllStandardError().toStdString();
    const QJsonArray array = QJsonDocument::fromJson(detect.readAllStandardOutput()).array();
    ASSERT_EQ(array.size(), 1);
    const QJsonObject o = array.at(0).toObject();
    EXPECT_EQ(o.value(QStringLiteral("port")).toString(), pty);
    EXPECT_EQ(o.value(QStringLiteral("status")).toString(), QStringLiteral("found"));
    EXPECT_EQ(o.value(QStringLiteral("protocol")).toString(), QStringLiteral("FS9721"));
    EXPECT_EQ(o.value(QStringLiteral("line")).toString(), QStringLiteral("2400 8N1"));
    EXPECT_TRUE(o.value(QStringLiteral("candidates")).toArray().contains(QStringLiteral("UNI-T UT60E")));
    EXPECT_FALSE(o.value(QStringLiteral("reading")).toString().isEmpty());
}

TEST(DetectCommand, refuses_a_wrong_argument_and_a_port_without_name) {
    for (const QStringList& args : {QStringList{QStringLiteral("detect"), QStringLiteral("--bogus")},
                                    QStringList{QStringLiteral("detect"), QStringLiteral("--port")}}) {
        QProcess detect;
        detect.start(QStringLiteral(METERLINK_CLI), args);
        ASSERT_TRUE(detect.waitForFinished(10000));
        EXPECT_EQ(detect.exitCode(), 2) << args.join(' ').toStdString();
    }
}

}  // namespace
