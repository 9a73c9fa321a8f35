// Which family a port's bytes belong to: the plan made from the table, and
// the decoders' vote over streams of each family, cut, mixed and noisy.
#include "detect_plan.h"
#include "family_vote.h"
#include "protocol/meters/family_frame_builder.h"
#include "protocol/meters/meter_decoder.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <vector>

namespace {

using meterlink::MeterModel;
using meterlink::MeterProtocol;
using meterlink::ProbeStep;

const MeterModel& row(const char* name) {
    const MeterModel* m = meterlink::findMeter(name);
    EXPECT_NE(m, nullptr) << name;
    return *m;
}

std::vector<std::uint8_t> frames(const MeterModel& m, int count) {
    meterlink::DisplaySpec spec;
    spec.function = meterlink::MeterFunction::DCV;
    spec.count = 1234;
    spec.pointAfter = 1;
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < count; ++i) {
        spec.count = 1234 + i;
        const meterlink::FamilyFrame f = meterlink::encodeFamilyFrame(m, spec);
        bytes.insert(bytes.end(), f.bytes.begin(), f.bytes.begin() + static_cast<std::ptrdiff_t>(f.size));
    }
    return bytes;
}

// The step of the plan whose families include the model.
const ProbeStep* stepOf(const std::vector<ProbeStep>& plan, const MeterModel& m) {
    for (const ProbeStep& s : plan)
        for (const auto& f : s.families)
            for (const MeterModel* c : f.candidates)
                if (c == &m) return &s;
    return nullptr;
}

TEST(DetectPlan, every_readable_serial_row_is_tried_once_listening_before_asking) {
    const auto plan = meterlink::serialProbePlan(meterlink::meterTable(), true);
    std::set<const MeterModel*> seen;
    bool asked = false;
    for (const ProbeStep& s : plan) {
        if (!s.request.empty()) asked = true;
        EXPECT_FALSE(asked && s.request.empty()) << "a listening step after a request";
        for (const auto& f : s.families) {
            EXPECT_EQ(f.decoderModel->protocol, f.protocol);
            for (const MeterModel* c : f.candidates) {
                EXPECT_TRUE(seen.insert(c).second) << meterlink::meterName(*c) << " twice";
                EXPECT_EQ(c->protocol, f.protocol);
                EXPECT_TRUE(meterlink::sameLine(c->line, s.line)) << meterlink::meterName(*c);
                EXPECT_EQ(c->line.pollCommand, s.request);
            }
        }
    }
    for (const MeterModel& m : meterlink::meterTable()) {
        const bool serial = m.cable == meterlink::Cable::Serial ||
                            (m.cable == meterlink::Cable::UtD04 && m.line.pollCommand.empty());
        const bool expected = serial && meterlink::makeDecoder(m, ".") != nullptr;
        EXPECT_EQ(seen.count(&m), expected ? 1u : 0u) << meterlink::meterName(m);
    }
    // No two steps at the same line with the same request.
    for (std::size_t i = 0; i < plan.size(); ++i)
        for (std::size_t j = i + 1; j < plan.size(); ++j)
            EXPECT_FALSE(meterlink::sameLine(plan[i].line, plan[j].line) && plan[i].request == plan[j].request);
}

TEST(DetectPlan, a_port_whose_line_is_set_elsewhere_listens_once_and_asks_once_per_request) {
    const auto settable = meterlink::serialProbePlan(meterlink::meterTable(), true);
    const auto fixed = meterlink::serialProbePlan(meterlink::meterTable(), false);
    std::set<std::string_view> requests;
    for (const ProbeStep& s : settable) requests.insert(s.request);
    ASSERT_EQ(fixed.size(), requests.size());
    EXPECT_TRUE(fixed.front().request.empty());
    // The same rows, only grouped otherwise.
    auto rowsOf = [](const std::vector<ProbeStep>& plan) {
        std::set<const MeterModel*> rows;
        for (const ProbeStep& s : plan)
            for (const auto& f : s.families) rows.insert(f.candidates.begin(), f.candidates.end());
        return rows;
    };
    EXPECT_EQ(rowsOf(settable), rowsOf(fixed));
}

TEST(DetectPlan, cable_candidates_are_the_rows_sold_with_it) {
    const auto d04 = meterlink::cableCandidates(meterlink::meterTable(), meterlink::Cable::UtD04);
    auto has = [](const std::vector<const MeterModel*>& rows, const char* name) {
        for (const MeterModel* m : rows)
            if (m == meterlink::findMeter(name)) return true;
        return false;
    };
    EXPECT_TRUE(has(d04, "UT61E"));   // the cable is its own
    EXPECT_TRUE(has(d04, "UT60A"));   // a serial meter also sold with the cable
    EXPECT_FALSE(has(d04, "DT4000ZC"));
    for (meterlink::Cable c : {meterlink::Cable::UtD09, meterlink::Cable::Victor, meterlink::Cable::BrymenBu86x})
        for (const MeterModel* m : meterlink::cableCandidates(meterlink::meterTable(), c)) EXPECT_EQ(m->cable, c);
}

// A stream of one model's frames, as a port delivers it.
struct StreamCase {
    const char* name;
    const char* model;
    std::size_t cutFirst;    // bytes of the first frame lost before the port opened
    std::size_t noiseEvery;  // a stray byte after every n bytes; 0 none
};

void PrintTo(const StreamCase& c, std::ostream* os) { *os << c.name; }

class FamilyVoteStream : public ::testing::TestWithParam<StreamCase> {};

TEST_P(FamilyVoteStream, the_meter_s_own_family_wins) {
    const StreamCase& c = GetParam();
    const MeterModel& m = row(c.model);
    const auto plan = meterlink::serialProbePlan(meterlink::meterTable(), true);
    const ProbeStep* step = stepOf(plan, m);
    ASSERT_NE(step, nullptr);
    std::vector<std::uint8_t> bytes = frames(m, 12);
    bytes.erase(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(c.cutFirst));
    if (c.noiseEvery)
        for (std::size_t i = c.noiseEvery; i < bytes.size(); i += c.noiseEvery + 1) bytes.insert(bytes.begin() + i, 0x5a);

    meterlink::FamilyVote vote(*step, ".");
    // In the small pieces a slow line delivers.
    for (std::size_t i = 0; i < bytes.size(); i += 5) vote.feed(bytes.data() + i, std::min<std::size_t>(5, bytes.size() - i));
    const int w = vote.winner();
    ASSERT_GE(w, 0);
    EXPECT_EQ(step->families[static_cast<std::size_t>(w)].protocol, m.protocol);
    EXPECT_FALSE(vote.decoder(w).reading().ValueText.empty());
    if (!c.noiseEvery) {
        EXPECT_TRUE(vote.settled());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Families, FamilyVoteStream,
    ::testing::Values(StreamCase{"fs9922_whole_frames", "PeakTech 2025", 0, 0},
                      StreamCase{"fs9922_first_frame_cut", "PeakTech 2025", 5, 0},
                      StreamCase{"fs9721_whole_frames", "UNI-T UT60E", 0, 0},
                      StreamCase{"fs9721_first_frame_cut", "UNI-T UT60E", 9, 0},
                      StreamCase{"fs9721_lines_as_is", "V&A VA18B", 3, 0},
                      StreamCase{"es51922_first_frame_cut", "UNI-T UT61E", 4, 0},
                      StreamCase{"es51986_whole_frames", "UNI-T UT60G", 0, 0},
                      StreamCase{"fs9721_noisy_line_wins_by_margin", "UNI-T UT60E", 0, 60}),
    [](const auto& tp) { return std::string(tp.param.name); });

TEST(FamilyVote, no_family_claims_noise_or_another_family_s_frames) {
    const auto plan = meterlink::serialProbePlan(meterlink::meterTable(), true);
    std::mt19937 random(26);
    std::vector<std::uint8_t> noise(4000);
    for (auto& b : noise) b = static_cast<std::uint8_t>(random());
    for (const ProbeStep& step : plan) {
        meterlink::FamilyVote vote(step, ".");
        vote.feed(noise.data(), noise.size());
        EXPECT_EQ(vote.winner(), -1) << meterlink::lineText(step.line);
    }
    // ES51922 frames at the line of the FS chips: neither FS family takes them.
    const ProbeStep* fsStep = stepOf(plan, row("UNI-T UT60E"));
    ASSERT_NE(fsStep, nullptr);
    meterlink::FamilyVote vote(*fsStep, ".");
    const auto es = frames(row("UNI-T UT61E"), 12);
    vote.feed(es.data(), es.size());
    EXPECT_EQ(vote.winner(), -1);
    EXPECT_FALSE(vote.settled());
}

TEST(FamilyVote, a_single_frame_is_not_enough) {
    const MeterModel& m = row("UNI-T UT60E");
    const auto plan = meterlink::serialProbePlan(meterlink::meterTable(), true);
    meterlink::FamilyVote vote(*stepOf(plan, m), ".");
    const auto one = frames(m, 1);
    vote.feed(one.data(), one.size());
    EXPECT_EQ(vote.winner(), -1);
    EXPECT_FALSE(vote.settled());
}

}  // namespace
