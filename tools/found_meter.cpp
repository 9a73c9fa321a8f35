#include "found_meter.h"

#include <QJsonArray>

namespace meterlink {

namespace {

QString text(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

QString statusName(FoundMeter::Status s) {
    switch (s) {
    case FoundMeter::Status::Found: return QStringLiteral("found");
    case FoundMeter::Status::Silent: return QStringLiteral("silent");
    case FoundMeter::Status::Failed: return QStringLiteral("failed");
    }
    return {};
}

}  // namespace

QString candidateNames(const FoundMeter& found) {
    QStringList names;
    for (const MeterModel* m : found.candidates) names << QString::fromStdString(meterName(*m));
    return names.join(QStringLiteral(", "));
}

QString foundMeterText(const FoundMeter& found, std::size_t maxNames) {
    QString s = found.port + QStringLiteral(": ");
    if (found.status == FoundMeter::Status::Failed) return s + QStringLiteral("not tried: ") + found.trouble;
    if (found.status == FoundMeter::Status::Silent) return s + QStringLiteral("no meter answered");
    QStringList parts;
    if (found.usb())
        parts << QStringLiteral("%1 cable (%2, USB %3)").arg(text(cableName(found.cable)), found.bridge, found.usbId);
    if (found.protocol) {
        // A network port's line is set by its server.
        parts << (found.line.isEmpty() ? text(protocolName(*found.protocol))
                                       : QStringLiteral("%1 at %2").arg(text(protocolName(*found.protocol)), found.line));
    }
    if (!found.reading.isEmpty()) parts << QStringLiteral("reading %1").arg(found.reading);
    if (const MeterModel* m = found.model())
        parts << QString::fromStdString(meterName(*m));
    else if (found.candidates.size() > maxNames) {
        QStringList names;
        for (std::size_t i = 0; i < maxNames; ++i) names << QString::fromStdString(meterName(*found.candidates[i]));
        parts << QStringLiteral("one of %1 models (%2, ...)").arg(found.candidates.size()).arg(names.join(QStringLiteral(", ")));
    } else if (!found.candidates.empty()) {
        parts << QStringLiteral("one of %1").arg(candidateNames(found));
    } else if (found.usb()) {
        parts << QStringLiteral("no meter this build reads uses it yet");
    }
    if (!found.trouble.isEmpty()) parts << found.trouble;
    return s + parts.join(QStringLiteral(", "));
}

QJsonObject foundMeterJson(const FoundMeter& found) {
    QJsonObject o;
    o.insert(QStringLiteral("port"), found.port);
    o.insert(QStringLiteral("status"), statusName(found.status));
    o.insert(QStringLiteral("cable"), text(cableName(found.cable)));
    if (found.usb()) {
        o.insert(QStringLiteral("usb_id"), found.usbId);
        o.insert(QStringLiteral("bridge"), found.bridge);
    }
    if (found.protocol) o.insert(QStringLiteral("protocol"), text(protocolName(*found.protocol)));
    if (!found.line.isEmpty()) o.insert(QStringLiteral("line"), found.line);
    if (const MeterModel* m = found.model()) o.insert(QStringLiteral("model"), QString::fromStdString(meterName(*m)));
    QJsonArray candidates;
    for (const MeterModel* m : found.candidates) candidates.append(QString::fromStdString(meterName(*m)));
    if (found.status == FoundMeter::Status::Found) o.insert(QStringLiteral("candidates"), candidates);
    if (!found.reading.isEmpty()) o.insert(QStringLiteral("reading"), found.reading);
    if (!found.trouble.isEmpty()) o.insert(QStringLiteral("trouble"), found.trouble);
    return o;
}

}  // namespace meterlink
