#pragma once
// Whether a frame can have come from a meter at all. Line noise that happens
// to have the frame's shape must not be logged as a reading: a meter sends
// ASCII digits (or its overload pattern) and a point code, shows at most its
// full count, measures one quantity at a time, and puts a prefix only on a
// unit that takes it.

#include "meter_frame.h"

#include <cstdint>

namespace meterlink {

bool frameIsPlausible(const MeterFrame& frame, std::int32_t fullCount);

}  // namespace meterlink
