// How parse and to_json grow with the number of members of one object: an answer ten times as large
// must take about ten times as long. Prints "ratio: X" (parse time of 200,000 members / 20,000
// members); the target is 15 at most. A search for the key of every member would make it 100.
#include <benchmark/benchmark.h>

#include "ratio_report.h"

#include <cstdio>
#include <map>
#include <string>

#include "json/json_document.h"

namespace {

constexpr int kSmallMemberCount = 20'000;
constexpr int kLargeMemberCount = 200'000;

// The shape of a long recognition answer flattened into one object, GBK text included.
std::string object_text(int member_count) {
  std::string text = "{";
  for (int i = 0; i < member_count; ++i) {
    if (i > 0) text += ',';
    text += "\"words_" + std::to_string(i) + "\":\"识别文字 " + std::to_string(i) + "\"";
  }
  return text + "}";
}

void BM_ParseObject(benchmark::State& state) {
  const std::string text = object_text(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    qw::JsonDocument document;
    const bool parsed = document.parse(text);
    benchmark::DoNotOptimize(parsed);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void BM_ObjectToJson(benchmark::State& state) {
  qw::JsonDocument document;
  if (!document.parse(object_text(static_cast<int>(state.range(0))))) {
    state.SkipWithError("the object did not parse");
    return;
  }
  for (auto _ : state) {
    const std::string json = document.to_json();
    benchmark::DoNotOptimize(json.data());
  }
}

BENCHMARK(BM_ParseObject)->Arg(kSmallMemberCount)->Arg(kLargeMemberCount)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ObjectToJson)->Arg(kSmallMemberCount)->Arg(kLargeMemberCount)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  return qw::bench::run_and_report_ratios(argc, argv, [](const qw::bench::RealTimes& times) {
    const auto ratio = [&](const std::string& name) {
      return times.at(name + "/" + std::to_string(kLargeMemberCount)) /
             times.at(name + "/" + std::to_string(kSmallMemberCount));
    };
    std::printf("ratio: %.2f (target <= 15)\n", ratio("BM_ParseObject"));
    std::printf("to_json ratio: %.2f\n", ratio("BM_ObjectToJson"));
  });
}
