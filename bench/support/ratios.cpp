#include "ratios.h"

#include <utility>

namespace bench {

namespace {

std::vector<Ratio>& registry() {
    static std::vector<Ratio> r;
    return r;
}

// In the time the row is measured in: real (or manual) time for rows that
// ask for it, else CPU time (of the thread, or of the process).
double seconds(const benchmark::BenchmarkReporter::Run& run) {
    const std::string& type = run.run_name.time_type;
    const bool real = type.find("real_time") != std::string::npos ||
                      type.find("manual_time") != std::string::npos;
    const double t = real ? run.GetAdjustedRealTime() : run.GetAdjustedCPUTime();
    return t / benchmark::GetTimeUnitMultiplier(run.time_unit);
}

} // namespace

bool ratio(std::string counter, std::string numerator, std::string denominator) {
    registry().push_back({std::move(counter), std::move(numerator), std::move(denominator)});
    return true;
}

const std::vector<Ratio>& declared_ratios() {
    return registry();
}

std::string row_name(const benchmark::BenchmarkReporter::Run& run) {
    const auto& n = run.run_name;
    return n.args.empty() ? n.function_name : n.function_name + "/" + n.args;
}

RatioReporter::RatioReporter(benchmark::BenchmarkReporter& inner, std::vector<Ratio> ratios)
    : inner_(inner), ratios_(std::move(ratios)) {}

bool RatioReporter::ReportContext(const Context& context) {
    // The library points this reporter's streams at the output file; the
    // inner reporter writes there too.
    inner_.SetOutputStream(&GetOutputStream());
    inner_.SetErrorStream(&GetErrorStream());
    return inner_.ReportContext(context);
}

void RatioReporter::ReportRuns(const std::vector<Run>& runs) {
    std::vector<Run> out = runs;
    for (Run& run : out) {
        if (run.error_occurred) continue;
        // A row's figure is its median, or its one run when it is not repeated;
        // single repetitions of a repeated row never stand for it.
        const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
        const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
        if (!median && !single) continue;
        const std::string row = row_name(run);
        median_s_[row] = seconds(run);
        for (const Ratio& r : ratios_) {
            if (r.numerator != row && r.denominator != row) continue;
            const auto num = median_s_.find(r.numerator), den = median_s_.find(r.denominator);
            if (num == median_s_.end() || den == median_s_.end() || den->second <= 0) continue;
            run.counters[r.counter] = benchmark::Counter(num->second / den->second);
        }
    }
    inner_.ReportRuns(out);
}

void RatioReporter::Finalize() {
    inner_.Finalize();
}

} // namespace bench
