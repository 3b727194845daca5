// Runs the registered benchmarks with the usual console output, then hands the measured real times
// (by benchmark name) to `report`, which prints the ratios the benchmark is judged by. Ratios of two
// measurements in one run stay meaningful on a shared, noisy machine where absolute times do not.
#pragma once

#include <benchmark/benchmark.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace qw::bench {

using RealTimes = std::map<std::string, double>;

inline int run_and_report_ratios(int argc, char** argv, std::function<void(const RealTimes&)> report) {
  class Reporter : public benchmark::ConsoleReporter {
   public:
    explicit Reporter(std::function<void(const RealTimes&)> report) : report_(std::move(report)) {}
    void ReportRuns(const std::vector<Run>& runs) override {
      ConsoleReporter::ReportRuns(runs);
      for (const auto& run : runs) times_[run.benchmark_name()] = run.GetAdjustedRealTime();
    }
    void Finalize() override {
      ConsoleReporter::Finalize();
      report_(times_);
    }

   private:
    std::function<void(const RealTimes&)> report_;
    RealTimes times_;
  };
  benchmark::Initialize(&argc, argv);
  Reporter reporter(std::move(report));
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}

}  // namespace qw::bench
