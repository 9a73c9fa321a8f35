#pragma once
// What "find my meter" tries on a serial port, made from the meter table:
// first it listens at each line setting that meters streaming unasked use,
// then it sends each polled family's request at that family's line. New rows
// of the table are tried as soon as their protocol has a decoder.

#include "protocol/meter_table.h"

#include <string_view>
#include <vector>

namespace meterlink {

// One family a step listens for.
struct ProbeFamily {
    MeterProtocol protocol;
    const MeterModel* decoderModel;            // the row whose decoder reads the bytes
    std::vector<const MeterModel*> candidates; // every row the meter could be, in table order
};

struct ProbeStep {
    LineSettings line;             // the port's line while the step runs
    std::string_view request;      // "" to listen only; else sent every line.pollIntervalMs
    std::vector<ProbeFamily> families;
};

// The steps for one port, listening steps first. lineSettable false (a
// network port, whose server holds the line): the line settings cannot be
// tried, so there is one listening step and one step per distinct request,
// each with the families of every line.
std::vector<ProbeStep> serialProbePlan(const std::vector<MeterModel>& table, bool lineSettable);

// The rows sold with a USB cable of this kind, in table order.
std::vector<const MeterModel*> cableCandidates(const std::vector<MeterModel>& table, Cable cable);

// Same speed, framing and modem lines.
bool sameLine(const LineSettings& a, const LineSettings& b);

}  // namespace meterlink
