#include "bridge_meter_source.h"

#include "log_session.h"

BridgeMeterSource::BridgeMeterSource(meterlink::LogSession& session, std::shared_ptr<HidPlatform> platform,
                                     const meterlink::MeterModel& meter, QObject* parent)
    : MeterSource(parent), session_(session), link_(std::move(platform), meter) {
    link_.setBytesHandler([this](const std::uint8_t* data, std::size_t size) { session_.feed(data, size); });
    connect(&session_, &meterlink::LogSession::readingDecoded, &link_, &BridgeMeterLink::noteReading);
    connect(&link_, &BridgeMeterLink::lost, this, &MeterSource::lost);
    connect(&link_, &BridgeMeterLink::returned, this, &MeterSource::returned);
}

bool BridgeMeterSource::open(QString& error) { return link_.open(error); }
