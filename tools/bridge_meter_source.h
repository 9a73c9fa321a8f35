#pragma once
// A polled meter on its UT-D09 cable as a log's source: the bridge link
// (links/bridge_meter_link.h) sends the model's request on a timer and hands
// the answers to the log session; each reading the session decodes tells
// the link the meter answers.

#include "meter_source.h"

#include "links/bridge_meter_link.h"

namespace meterlink {
class LogSession;
}

class BridgeMeterSource : public MeterSource {
    Q_OBJECT
public:
    BridgeMeterSource(meterlink::LogSession& session, std::shared_ptr<HidPlatform> platform,
                      const meterlink::MeterModel& meter, QObject* parent = nullptr);

    bool open(QString& error) override;
    QString name() const override { return link_.cableText(); }
    bool linked() const override { return link_.linked(); }

private:
    meterlink::LogSession& session_;
    BridgeMeterLink link_;
};
