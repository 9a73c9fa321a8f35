#pragma once
// The answers of a meter of the UNI-T AB CD family (see unit_abcd_frame.h),
// cut out of the byte stream and read into the reading and the LCD. The
// meter speaks only when asked; the link sends the request.
//
// A frame with a wrong sum or an impossible length is counted as rejected
// and the search for the next AB CD starts at the byte after the rejected
// frame's start, so a cut-off answer costs only itself. A well-formed frame
// that is not a measurement answer (the answer to another request) is
// counted apart and changes nothing.

#include "display_decoder.h"
#include "unit_abcd_frame.h"

namespace meterlink {

class UnitAbCdDecoder final : public DisplayDecoder {
public:
    UnitAbCdDecoder(const MeterModel& model, std::string_view sep);
    void feed(const std::uint8_t* data, std::size_t size) override;

    // Well-formed frames that were no measurement answer.
    std::size_t otherAnswers() const { return otherAnswers_; }
    // The last answer's bar graph (segments, signed) and high-voltage warning.
    int barGraph() const { return bar_; }
    bool highVoltage() const { return highVoltage_; }

private:
    void step(std::uint8_t b);
    void frameDone();
    // Drops the frame's first byte and looks again at the rest.
    void resync();
    bool decodeAnswer();

    std::uint8_t frame_[kAbCdMaxFrameBytes]{};
    std::size_t have_ = 0;
    std::size_t want_ = 0;   // whole frame, once its length byte has come
    std::size_t otherAnswers_ = 0;
    int bar_ = 0;
    bool highVoltage_ = false;
};

}  // namespace meterlink
