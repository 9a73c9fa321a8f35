// The chart's page arithmetic, as a table of scripts: each line of a script is
// an operation, and the case names the state it must end in.

#include "recording/chart_pager.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

using meterlink::TChartControl;

namespace {

// The pager as the window starts it: page size 100, then the placeholder point.
TChartControl startUp() {
    TChartControl pager(100);
    pager.resetToPlaceholder();
    return pager;
}

// "add N" logs N readings; "first", "prev", "next", "last", "clear", "new";
// "size N" sets the page size.
void run(TChartControl& pager, const std::string& script) {
    std::istringstream ops(script);
    std::string op;
    while (ops >> op) {
        if (op == "add" || op == "size") {
            int n = 0;
            ops >> n;
            if (op == "size") pager.SetPageSize(n);
            else
                for (int i = 0; i < n; ++i) pager.AddValue(i);
        } else if (op == "first") pager.First();
        else if (op == "prev") pager.Previous();
        else if (op == "next") pager.Next();
        else if (op == "last") pager.Last();
        else if (op == "clear") pager.Clear();
        else if (op == "new") pager.resetToPlaceholder();
        else FAIL() << "unknown op " << op;
    }
}

struct PagerCase {
    const char* name;
    const char* script;
    int page;
    double windowMin;
    double windowMax;
    bool browsing;
    int pageCount;
};

class PagerScript : public ::testing::TestWithParam<PagerCase> {};

TEST_P(PagerScript, EndsInTheNamedState) {
    const PagerCase& c = GetParam();
    TChartControl pager = startUp();
    run(pager, c.script);
    EXPECT_EQ(pager.FCurrentPage(), c.page);
    EXPECT_EQ(pager.windowMinimum(), c.windowMin);
    EXPECT_EQ(pager.windowMaximum(), c.windowMax);
    EXPECT_EQ(pager.FBrowsing(), c.browsing);
    EXPECT_EQ(pager.FPageCount(), c.pageCount);
    // Whatever the script, the number shown is the page shown.
    EXPECT_EQ(pager.windowMinimum(), (pager.FCurrentPage() - 1) * pager.FPageSize() + 1.0);
}

const PagerCase kCases[] = {
    {"StartUp", "", 1, 1, 100, false, 1},
    {"FirstReadingIsRecordOne", "add 1", 1, 1, 100, false, 1},
    // Readings 1..100 fill page one; the 101st opens page two.
    {"HundredthReadingStaysOnPageOne", "add 100", 1, 1, 100, false, 1},
    {"HundredAndFirstMovesTheWindow", "add 101", 2, 101, 200, false, 2},
    {"FollowsTheNewestPage", "add 150", 2, 101, 200, false, 2},
    {"FirstHoldsPageOneWhileReadingsArrive", "add 150 first add 20", 1, 1, 100, true, 2},
    {"LastResumesFollowing", "add 150 first add 20 last", 2, 101, 200, false, 2},
    {"PreviousOnPageOneDoesNothing", "add 50 prev", 1, 1, 100, false, 1},
    {"NextOnTheLastPageDoesNothing", "add 150 next", 2, 101, 200, false, 2},
    {"NextInsideKeepsBrowsing", "add 250 first next", 2, 101, 200, true, 3},
    {"NextOntoTheLastPageFollows", "add 250 first next next", 3, 201, 300, false, 3},
    {"PreviousBrowses", "add 250 prev", 2, 101, 200, true, 3},
    {"FirstFromAFullLastPage", "add 300 first", 1, 1, 100, true, 3},
    {"PreviousWithOnePageDoesNothing", "add 100 prev", 1, 1, 100, false, 1},
    // 151 points, X 0..150: readings 101..150 are page three, not four.
    {"SmallerPageSizeGoesToTheLastPage", "add 150 size 50", 3, 101, 150, false, 3},
    {"StepsBackStopAtPageOne", "add 150 size 50 prev prev prev", 1, 1, 50, true, 3},
    {"StepsForwardAfterAClampedStepBack", "add 150 size 50 prev prev prev next", 2, 51, 100, true, 3},
    {"StepsForwardReachTheLastPageOnce", "add 150 size 50 prev prev prev next next next", 3, 101, 150, false, 3},
    // The record limit: 1000 rows are pages 1..10.
    {"ThousandRowsEndOnPageTen", "add 1000", 10, 901, 1000, false, 10},
    {"ThousandRowsPreviousIsPageNine", "add 1000 prev", 9, 801, 900, true, 10},
    {"PageSizeWhileBrowsingFollowsAgain", "add 250 first size 200", 2, 201, 400, false, 2},
    {"ClearGoesBackToPageOne", "add 250 clear", 1, 1, 100, false, 0},
    // After Clear there is no placeholder: the first new reading is X 0.
    {"ClearThenOneReading", "add 250 clear add 1", 1, 1, 100, false, 1},
    {"ClearThenPageSizeShowsPageOne", "add 250 clear size 50", 1, 1, 50, false, 0},
    {"ClearThenPageSizeThenAReading", "add 250 clear size 50 add 1", 1, 1, 50, false, 1},
    {"NextOnAnEmptiedChartStays", "add 250 clear next", 1, 1, 100, false, 0},
    {"NewKeepsCountersAndWindow", "add 150 new", 2, 101, 200, false, 2},
};

INSTANTIATE_TEST_SUITE_P(Pager, PagerScript, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<PagerCase>& p) { return std::string(p.param.name); });

TEST(PagerPoints, NumbersPointsInTheOrderAddedAndRestartsAfterClear) {
    TChartControl pager = startUp();
    pager.AddValue(5.999);
    pager.AddValue(-1.23);
    ASSERT_EQ(pager.pointCount(), 3u);
    EXPECT_EQ(pager.value(1), 5.999);
    EXPECT_EQ(pager.value(2), -1.23);
    pager.Clear();
    EXPECT_EQ(pager.pointCount(), 0u);
    pager.AddValue(7);
    EXPECT_EQ(pager.value(0), 7);
}

TEST(PagerPoints, TellsTheViewWhetherOnlyAPointWasAddedOrTheWindowMoved) {
    TChartControl pager = startUp();
    int changed = 0;
    std::size_t lastAdded = 0;
    pager.setListener({[&] { ++changed; }, [&](std::size_t x) { lastAdded = x; }});
    run(pager, "add 100");
    EXPECT_EQ(changed, 0);
    EXPECT_EQ(lastAdded, 100u);
    run(pager, "add 1");   // X 101 moves the window
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(lastAdded, 100u);
}

}  // namespace
