// The ratio counters of the benchmark programs, fed with reports as Google
// Benchmark sends them: every repetition of a row, then its aggregates.
#include "ratios.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using BenchRun = benchmark::BenchmarkReporter::Run;

class Recorder : public benchmark::BenchmarkReporter {
  public:
    bool ReportContext(const Context&) override { return true; }
    void ReportRuns(const std::vector<BenchRun>& runs) override {
        seen.insert(seen.end(), runs.begin(), runs.end());
    }
    std::vector<BenchRun> seen;
};

// One run of `row` taking `ms` milliseconds an iteration in real time, and a
// third of that in CPU time.
BenchRun timed(const std::string& row, double ms, int repetitions = 1) {
    BenchRun r;
    const auto slash = row.find('/');
    r.run_name.function_name = row.substr(0, slash);
    if (slash != std::string::npos) r.run_name.args = row.substr(slash + 1);
    r.run_name.time_type = "real_time";
    r.time_unit = benchmark::kMillisecond;
    r.iterations = 10;
    r.real_accumulated_time = ms * 10 / 1000.0;
    r.cpu_accumulated_time = r.real_accumulated_time / 3;
    r.repetitions = repetitions;
    return r;
}

BenchRun aggregate(const std::string& row, const char* name, double ms, int repetitions) {
    BenchRun r = timed(row, ms, repetitions);
    r.run_type = BenchRun::RT_Aggregate;
    r.aggregate_name = name;
    return r;
}

// The repetitions of a row in the order given, then its mean and median.
std::vector<BenchRun> repeated(const std::string& row, const std::vector<double>& ms,
                               double median) {
    std::vector<BenchRun> runs;
    const int n = static_cast<int>(ms.size());
    double sum = 0;
    for (double t : ms) runs.push_back(timed(row, t, n)), sum += t;
    runs.push_back(aggregate(row, "mean", sum / n, n));
    runs.push_back(aggregate(row, "median", median, n));
    return runs;
}

bool has(const BenchRun& r, const char* counter) {
    return r.counters.count(counter) != 0;
}

struct RatioReporterTest : ::testing::Test {
    Recorder inner;
    bench::RatioReporter reporter{inner, {{"x", "BM_Slow", "BM_Fast"}}};
};

} // namespace

TEST_F(RatioReporterTest, RepeatedRowsCompareMedianToMedianOnTheLaterMedianRow) {
    // The last repetition of the first row (9 ms) is not its median (3 ms).
    reporter.ReportRuns(repeated("BM_Slow", {3, 2, 4, 1, 9}, 3));
    reporter.ReportRuns(repeated("BM_Fast", {0.5, 2, 1, 1.5, 0.8}, 1));
    ASSERT_EQ(inner.seen.size(), 14u);
    for (std::size_t i = 0; i < inner.seen.size(); ++i) {
        const BenchRun& r = inner.seen[i];
        if (i == 13) {
            ASSERT_TRUE(has(r, "x"));
            EXPECT_DOUBLE_EQ(r.counters.at("x").value, 3.0);
        } else {
            EXPECT_FALSE(has(r, "x")) << i; // neither repetitions nor the mean
        }
    }
}

TEST_F(RatioReporterTest, EitherOrderAndSingleRunsGiveTheSameRatio) {
    reporter.ReportRuns({timed("BM_Fast", 2)});
    reporter.ReportRuns({timed("BM_Other", 1)});
    reporter.ReportRuns({timed("BM_Slow", 5)});
    ASSERT_EQ(inner.seen.size(), 3u);
    EXPECT_FALSE(has(inner.seen[0], "x"));
    EXPECT_FALSE(has(inner.seen[1], "x"));
    ASSERT_TRUE(has(inner.seen[2], "x"));
    EXPECT_DOUBLE_EQ(inner.seen[2].counters.at("x").value, 2.5);
}

TEST_F(RatioReporterTest, RowsWithoutRealTimeCountTheirCpuTime) {
    for (const char* type : {"", "process_time"}) {
        Recorder out;
        bench::RatioReporter r(out, {{"x", "BM_Slow", "BM_Fast"}});
        BenchRun fast = timed("BM_Fast", 2);
        fast.run_name.time_type = type; // 2/3 ms of CPU time
        r.ReportRuns({fast});
        BenchRun slow = timed("BM_Slow", 4);
        slow.run_name.time_type = "process_time/real_time";
        r.ReportRuns({slow});
        EXPECT_DOUBLE_EQ(out.seen[1].counters.at("x").value, 6.0) << type;
    }
}

TEST_F(RatioReporterTest, FailedOrMissingRowsGiveNoRatio) {
    BenchRun failed = timed("BM_Fast", 2);
    failed.error_occurred = true;
    reporter.ReportRuns({failed});
    reporter.ReportRuns({timed("BM_Slow", 5)});
    EXPECT_FALSE(has(inner.seen[1], "x"));

    // Rows with arguments are told apart by them.
    Recorder other;
    bench::RatioReporter by_args(other, {{"threads_x", "BM_Median/0/3", "BM_Median/1/3"}});
    by_args.ReportRuns({timed("BM_Median/1/3", 4)});
    by_args.ReportRuns({timed("BM_Median/0/1", 1)});
    EXPECT_FALSE(has(other.seen[1], "threads_x"));
    by_args.ReportRuns({timed("BM_Median/0/3", 2)});
    ASSERT_TRUE(has(other.seen[2], "threads_x"));
    EXPECT_DOUBLE_EQ(other.seen[2].counters.at("threads_x").value, 0.5);
}
