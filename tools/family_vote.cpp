#include "family_vote.h"

namespace meterlink {

FamilyVote::FamilyVote(const ProbeStep& step, std::string_view decimalSep) {
    ballots_.reserve(step.families.size());
    for (const ProbeFamily& family : step.families) {
        Ballot ballot;
        ballot.decoder = makeDecoder(*family.decoderModel, decimalSep);
        ballots_.push_back(std::move(ballot));
    }
}

void FamilyVote::feed(const std::uint8_t* data, std::size_t size) {
    bytes_ += size;
    for (Ballot& b : ballots_) {
        if (!b.decoder) continue;
        // Byte by byte until the first reading, so rejections before it are
        // told apart from those after it.
        std::size_t i = 0;
        for (; i < size && b.decoder->decodedCount() == 0; ++i) {
            b.decoder->feed(data + i, 1);
            if (b.decoder->decodedCount() == 0) b.rejectedBeforeFirst = b.decoder->rejectedCount();
        }
        if (i < size) b.decoder->feed(data + i, size - i);
    }
}

bool FamilyVote::settled() const {
    int clean = -1;
    for (std::size_t i = 0; i < ballots_.size(); ++i) {
        const Ballot& b = ballots_[i];
        if (!b.decoder) continue;
        if (b.clean() && clean < 0) clean = static_cast<int>(i);
        else if (b.decoded() > 0) return false;
    }
    return clean >= 0;
}

int FamilyVote::winner() const {
    int best = -1;
    long long bestScore = 0;
    bool bestClean = false;
    for (std::size_t i = 0; i < ballots_.size(); ++i) {
        const Ballot& b = ballots_[i];
        if (!b.decoder) continue;
        const bool clean = b.clean();
        const bool margin = b.decoded() >= kMarginFrames && b.decoded() >= 4 * b.rejected();
        if (!clean && !margin) continue;
        const long long score = static_cast<long long>(b.decoded()) - static_cast<long long>(b.rejected());
        // A clean family beats one that won by margin.
        if (best < 0 || (clean && !bestClean) || (clean == bestClean && score > bestScore)) {
            best = static_cast<int>(i);
            bestScore = score;
            bestClean = clean;
        }
    }
    return best;
}

}  // namespace meterlink
