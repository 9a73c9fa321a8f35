#include "detect_plan.h"

#include "protocol/meters/meter_decoder.h"

#include <algorithm>

namespace meterlink {

namespace {

// Meters that send unasked over a serial line (RS-232, IR-to-serial, or the
// serial side of the UT-D04 cable).
bool streams(const MeterModel& m) {
    return m.line.pollCommand.empty() && (m.cable == Cable::Serial || m.cable == Cable::UtD04);
}

// Meters that answer a request on a serial line.
bool answersOnSerial(const MeterModel& m) { return !m.line.pollCommand.empty() && m.cable == Cable::Serial; }

// A protocol whose decoder this build lacks cannot be recognised.
bool readable(const MeterModel& m) { return makeDecoder(m, ".") != nullptr; }

void addToStep(ProbeStep& step, const MeterModel& m) {
    auto family = std::find_if(step.families.begin(), step.families.end(),
                               [&](const ProbeFamily& f) { return f.protocol == m.protocol; });
    if (family == step.families.end()) {
        step.families.push_back({m.protocol, &m, {}});
        family = step.families.end() - 1;
    }
    family->candidates.push_back(&m);
}

}  // namespace

bool sameLine(const LineSettings& a, const LineSettings& b) {
    return a.baud == b.baud && a.dataBits == b.dataBits && a.parity == b.parity && a.stopBits == b.stopBits &&
           a.dtr == b.dtr && a.rts == b.rts;
}

std::vector<ProbeStep> serialProbePlan(const std::vector<MeterModel>& table, bool lineSettable) {
    std::vector<ProbeStep> listen;
    std::vector<ProbeStep> poll;
    for (const MeterModel& m : table) {
        const bool streaming = streams(m);
        if (!streaming && !answersOnSerial(m)) continue;
        if (!readable(m)) continue;
        std::vector<ProbeStep>& steps = streaming ? listen : poll;
        auto step = std::find_if(steps.begin(), steps.end(), [&](const ProbeStep& s) {
            return s.request == m.line.pollCommand && (!lineSettable || sameLine(s.line, m.line));
        });
        if (step == steps.end()) {
            steps.push_back({m.line, m.line.pollCommand, {}});
            step = steps.end() - 1;
        }
        addToStep(*step, m);
    }
    listen.insert(listen.end(), poll.begin(), poll.end());
    return listen;
}

std::vector<const MeterModel*> cableCandidates(const std::vector<MeterModel>& table, Cable cable) {
    std::vector<const MeterModel*> rows;
    for (const MeterModel& m : table) {
        // UT-D04 rows of the serial families say so by the baud their cable is set to.
        const bool sold = m.cable == cable || (cable == Cable::UtD04 && m.cableBaud != 0);
        if (sold) rows.push_back(&m);
    }
    return rows;
}

}  // namespace meterlink
