#include "port_prober.h"

#include "links/meter_line.h"
#include "links/network_port.h"
#include "recording/unit_text.h"

#include <QTimer>

namespace meterlink {

namespace {

QString text(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

QString readingText(const MeterReading& r) {
    QStringList parts;
    for (const QString& p : {QString::fromStdString(r.FunctionText), QString::fromStdString(r.ValueText),
                             unitDisplayText(QString::fromStdString(r.UnitText))})
        if (!p.isEmpty()) parts << p;
    return parts.join(QLatin1Char(' '));
}

}  // namespace

PortProber::PortProber(const QString& port, ProbeTiming timing, const QString& decimalSep, QObject* parent)
    : QObject(parent),
      driver_(this),
      timing_(timing),
      decimalSep_(decimalSep),
      lineSettable_(!isNetworkPortName(port)),
      plan_(serialProbePlan(meterTable(), lineSettable_)),
      stepTimer_(new QTimer(this)) {
    result_.port = port;
    driver_.setPortPath(port);
    // Bytes as they come: a step can end as soon as the vote is settled.
    driver_.setReadOnArrival(true);
    driver_.setOnReceiveData([this](TSerialPortDriver*, const std::uint8_t* data, int size) { received(data, size); });
    connect(&driver_, &TSerialPortDriver::portLostDetected, this, [this](const QString& reason) {
        if (done_) return;
        driver_.Disconnect();
        finish(FoundMeter::Status::Failed, reason);
    });
    stepTimer_->setSingleShot(true);
    connect(stepTimer_, &QTimer::timeout, this, &PortProber::endStep);
}

PortProber::~PortProber() { driver_.Disconnect(); }

void PortProber::start() {
    step_ = 0;
    runStep();
}

void PortProber::cancel() {
    if (done_) return;
    stepTimer_->stop();
    driver_.Disconnect();
    finish(FoundMeter::Status::Silent);
}

void PortProber::runStep() {
    if (done_) return;
    if (step_ >= plan_.size()) {
        finish(FoundMeter::Status::Silent);
        return;
    }
    const ProbeStep& step = plan_[step_];
    applyMeterLine(driver_, step.line);
    QString line = lineSettable_ ? QString::fromStdString(lineText(step.line)) : QString();
    // Two steps may differ in the modem lines alone.
    if (lineSettable_ && (step.line.dtr == LineLevel::AsIs || step.line.rts == LineLevel::AsIs))
        line += QStringLiteral(", DTR and RTS as they are");
    if (step.request.empty())
        emit progress(result_.port, line.isEmpty() ? QStringLiteral("listening") : QStringLiteral("listening at %1").arg(line));
    else
        emit progress(result_.port, QStringLiteral("asking \"%1\"%2")
                                        .arg(text(step.request), line.isEmpty() ? QString() : QStringLiteral(" at ") + line));
    vote_ = std::make_unique<FamilyVote>(step, decimalSep_.toStdString());
    ending_ = false;
    if (!driver_.Connect()) {
        finish(FoundMeter::Status::Failed, driver_.lastError());
        return;
    }
    stepTimer_->start(step.request.empty() ? timing_.listenMs : timing_.pollMs);
}

void PortProber::received(const std::uint8_t* data, int size) {
    if (!vote_ || ending_ || size <= 0) return;
    vote_->feed(data, static_cast<std::size_t>(size));
    if (vote_->settled()) {
        // Not from inside the driver's own read: the port is closed next.
        ending_ = true;
        stepTimer_->stop();
        QTimer::singleShot(0, this, &PortProber::endStep);
    }
}

void PortProber::endStep() {
    if (done_) return;
    driver_.Disconnect();
    const ProbeStep& step = plan_[step_];
    const int winner = vote_->winner();
    if (winner < 0) {
        ++step_;
        runStep();
        return;
    }
    const ProbeFamily& family = step.families[static_cast<std::size_t>(winner)];
    result_.protocol = family.protocol;
    if (lineSettable_) result_.line = QString::fromStdString(lineText(step.line));
    result_.candidates = family.candidates;
    result_.reading = readingText(vote_->decoder(winner).reading());
    finish(FoundMeter::Status::Found);
}

void PortProber::finish(FoundMeter::Status status, const QString& trouble) {
    if (done_) return;
    done_ = true;
    stepTimer_->stop();
    vote_.reset();
    result_.status = status;
    result_.trouble = trouble;
    emit finished();
}

}  // namespace meterlink
