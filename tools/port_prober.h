#pragma once
// Tries one serial port (or tcp:// port) step by step for a meter: opens it
// at each step's line, listens (or sends the step's request on its timer),
// lets the families' decoders vote over what arrives, and closes it again.
// Everything runs from the event loop; nothing waits for the line.

#include "detect_plan.h"
#include "family_vote.h"
#include "found_meter.h"
#include "links/serial_port_driver.h"

#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class QTimer;

namespace meterlink {

struct ProbeTiming {
    int listenMs = 3000;   // each listening step, at most
    int pollMs = 3000;     // each polled step, at most
};

class PortProber : public QObject {
    Q_OBJECT
public:
    PortProber(const QString& port, ProbeTiming timing, const QString& decimalSep, QObject* parent = nullptr);
    ~PortProber() override;

    void start();
    void cancel();
    bool done() const { return done_; }
    const FoundMeter& result() const { return result_; }

signals:
    // What is being tried now, e.g. "listening at 2400 8N1".
    void progress(const QString& port, const QString& what);
    void finished();

private:
    void runStep();
    void endStep();
    void received(const std::uint8_t* data, int size);
    void finish(FoundMeter::Status status, const QString& trouble = {});

    TSerialPortDriver driver_;
    ProbeTiming timing_;
    QString decimalSep_;
    bool lineSettable_;
    std::vector<ProbeStep> plan_;
    std::size_t step_ = 0;
    std::unique_ptr<FamilyVote> vote_;
    QTimer* stepTimer_;
    FoundMeter result_;
    bool ending_ = false;
    bool done_ = false;
};

}  // namespace meterlink
