#pragma once
// Whether a frame can have come from a meter at all. Line noise that happens
// to have the frame's shape must not be logged as a reading: a meter sends
// ASCII digits (or its overload pattern) and a point code, shows at most its
// full count, measures one quantity at a time, puts a prefix only on a unit
// that takes it, lights AC or DC only with volts or amperes, and never shows
// a frequency, a duty cycle or (outside REL) a resistance or a capacitance
// below zero, nor a duty cycle above 100 %.

#include "meter_frame.h"

#include <cstdint>

namespace meterlink {

bool frameIsPlausible(const MeterFrame& frame, std::int32_t fullCount);

}  // namespace meterlink
