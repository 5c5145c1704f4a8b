#pragma once
// Ratio counters between two rows of a benchmark program, each row taken at
// the median of its repetitions (or at its single run). A program declares
// them at namespace scope:
//
//   const bool socket_x =
//       bench::ratio("socket_x", "BM_FrameThroughSocket", "BM_MemcpyOfTheSameBytes");
//
// and the counter appears on the median row of whichever of the two runs
// second (or on its single run). Rows are named as declared, with their
// arguments ("BM_Median/1/3") but without "/real_time" and the like. Each
// row counts in the time it is measured in: real time with UseRealTime,
// else CPU time (the process's with MeasureProcessCPUTime), which a busy
// machine disturbs less.
#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace bench {

struct Ratio {
    std::string counter;
    std::string numerator;
    std::string denominator;
};

// Declares a ratio for the program's reporters; returns true.
bool ratio(std::string counter, std::string numerator, std::string denominator);
const std::vector<Ratio>& declared_ratios();

// Passes every report on to `inner`, with the ratios added to the run that
// completes the second of their two rows.
class RatioReporter : public benchmark::BenchmarkReporter {
  public:
    RatioReporter(benchmark::BenchmarkReporter& inner, std::vector<Ratio> ratios);

    bool ReportContext(const Context& context) override;
    void ReportRuns(const std::vector<Run>& runs) override;
    void Finalize() override;

  private:
    benchmark::BenchmarkReporter& inner_;
    std::vector<Ratio> ratios_;
    std::map<std::string, double> median_s_; // seconds per iteration, by row
};

// The row a run belongs to: its function name and arguments.
std::string row_name(const benchmark::BenchmarkReporter::Run& run);

} // namespace bench
