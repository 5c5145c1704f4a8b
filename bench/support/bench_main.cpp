// The benchmark programs' main: Google Benchmark's own, with the declared
// ratios added to what the console and the --benchmark_out file show, and
// with the repetitions of all rows interleaved unless told otherwise: on a
// shared machine the two rows of a ratio then see the same load.
#include "ratios.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// The value of --name=value, or `fallback`. Read before benchmark::Initialize
// takes the library's flags out of argv.
std::string flag(int argc, char** argv, const char* name, const char* fallback) {
    const std::string prefix = std::string("--") + name + "=";
    std::string value = fallback;
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], prefix.c_str(), prefix.size()) == 0)
            value = argv[i] + prefix.size();
    return value;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<char*> args(argv, argv + argc);
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    if (flag(argc, argv, "benchmark_enable_random_interleaving", "").empty())
        args.push_back(interleave);
    argc = static_cast<int>(args.size());
    args.push_back(nullptr);
    argv = args.data();

    const bool to_file = !flag(argc, argv, "benchmark_out", "").empty();
    // Only a JSON file gets the ratios; other formats come from the library.
    const bool json_file = to_file && flag(argc, argv, "benchmark_out_format", "json") == "json";

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

    // The library keeps the default display reporter (it honours --benchmark_format).
    bench::RatioReporter display(*benchmark::CreateDefaultDisplayReporter(),
                                 bench::declared_ratios());
    benchmark::JSONReporter json;
    bench::RatioReporter file(json, bench::declared_ratios());
    benchmark::RunSpecifiedBenchmarks(&display, json_file ? &file : nullptr);
    benchmark::Shutdown();
    return 0;
}
