#pragma once
// What the simulated meter shows, frame after frame: the built-in tour of
// every function, or the readings of a scenario file, played in a loop with
// values that drift a little as a real reading does. Shared by the simulators
// of the serial line and of the USB cable.

#include "protocol/frame_builder.h"

#include <cstddef>
#include <random>
#include <string>
#include <vector>

namespace meterlink {

// How a step's value moves from frame to frame.
enum class Drift {
    None,   // held: the display is frozen (hold, overload)
    Walk,   // wanders a few counts around the base value
    Up,     // maximum: only ever rises
    Down,   // minimum: only ever falls
};

struct ScenarioStep {
    DisplaySpec spec;
    int frames = 1;        // how many frames the step lasts
    Drift drift = Drift::None;
    int span = 0;          // furthest the value may move from its base, in counts
};

// Every function, each prefix a function uses, the three decimal marks,
// overload of both signs and every annunciator.
std::vector<ScenarioStep> builtInScenario();

// One reading per non-blank, non-comment line. On failure returns false with
// a message for the user in error ("file:line: ..." for a bad line). A
// directory, a binary or oversized file and an endless device are refused
// without being read whole; their content is never quoted.
bool loadScenario(const std::string& path, std::vector<ScenarioStep>& steps, std::string& error);

// Plays the steps in a loop, moving each value a little on every frame.
class ScenarioPlayer {
public:
    explicit ScenarioPlayer(std::vector<ScenarioStep> steps) : steps_(std::move(steps)) {}

    WireFrame next();
    // The next reading without its frame, for meters of other families.
    DisplaySpec nextSpec();

private:
    int driftedCount(const ScenarioStep& step);

    std::vector<ScenarioStep> steps_;
    std::size_t index_ = 0;
    int frameInStep_ = 0;
    int offset_ = 0;
    std::minstd_rand random_{20240607u};
};

}  // namespace meterlink
