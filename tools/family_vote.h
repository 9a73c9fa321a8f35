#pragma once
// Asks each family of a probe step "are these bytes yours?": every family's
// decoder reads the same bytes, and the one whose frames decode while the
// others' do not wins. The first frame may be cut short by the moment the
// port was opened, so one rejection before a family's first reading is
// forgiven.

#include "detect_plan.h"
#include "protocol/meters/meter_decoder.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace meterlink {

class FamilyVote {
public:
    // The step must outlive the vote.
    FamilyVote(const ProbeStep& step, std::string_view decimalSep);

    void feed(const std::uint8_t* data, std::size_t size);

    // One family has read kSureFrames frames with none rejected and no other
    // family has read any: more bytes will not change the answer.
    bool settled() const;
    // The family the bytes came from, as an index into the step's families;
    // -1 when none. A family wins when it read at least kSureFrames frames
    // and rejected none, or, on a noisy line, by a clear margin: at least
    // kMarginFrames frames and four read for every one rejected.
    int winner() const;

    const MeterDecoder& decoder(int family) const { return *ballots_.at(static_cast<std::size_t>(family)).decoder; }
    std::size_t bytesSeen() const { return bytes_; }

    static constexpr std::size_t kSureFrames = 2;
    static constexpr std::size_t kMarginFrames = 3;

private:
    struct Ballot {
        std::unique_ptr<MeterDecoder> decoder;
        std::size_t rejectedBeforeFirst = 0;
        std::size_t decoded() const { return decoder->decodedCount(); }
        // Rejections that count against the family.
        std::size_t rejected() const {
            return decoder->rejectedCount() - (rejectedBeforeFirst > 0 ? 1 : 0);
        }
        bool clean() const { return decoded() >= kSureFrames && rejected() == 0; }
    };

    std::vector<Ballot> ballots_;
    std::size_t bytes_ = 0;
};

}  // namespace meterlink
