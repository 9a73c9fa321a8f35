#pragma once
// meterlink-cli simulate --meter MODEL --usb SOCKET for a meter on the
// UT-D09 cable: the cable's bridge with the meter behind it.

#include "protocol/meter_table.h"

// argv[0] is "simulate"; the other arguments are the command's own.
int runBridgeSimulate(int argc, char** argv, const meterlink::MeterModel& meter);
