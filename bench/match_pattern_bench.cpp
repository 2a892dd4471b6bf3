// Body-pattern matching on a 1 MiB body built to be hard: long runs of one
// byte, near-misses of every segment at almost every position, '?' in the
// segments and lower bounds that reject occurrence after occurrence.
#include <benchmark/benchmark.h>

#include <string>

#include "rules/capture_list.h"
#include "rules/segment_searcher.h"
#include "rules/match_pattern.h"

namespace {

constexpr size_t kBody = 1 << 20;
constexpr int kWildcards = 20;

// 20 blocks of 'a' each closed by "b": a segment of 31 'a' with a '?' and a
// final 'b' nearly matches at every byte and really matches once per block.
std::string blocks_body() {
  const size_t block = kBody / kWildcards;
  std::string body;
  for (int i = 0; i < kWildcards; ++i) {
    body.append(block - 1, 'a');
    body += 'b';
  }
  return body;
}

std::string near_miss_pattern(size_t segment_length) {
  std::string segment(segment_length - 1, 'a');
  segment[segment_length / 2] = '?';
  segment += 'b';
  std::string pattern;
  for (int i = 0; i < kWildcards; ++i) pattern += "*<min=1 #" + std::to_string(i + 1) + ">" + segment;
  return pattern;  // the last segment ends the body
}

void run(benchmark::State& state, const std::string& pattern, const std::string& body, bool expected) {
  for (auto _ : state) {
    pw::CaptureList captures;
    const bool matched = pw::match_pattern(pattern, body, captures, nullptr);
    if (matched != expected) state.SkipWithError("unexpected result");
    benchmark::DoNotOptimize(captures);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(body.size()));
}

// Segments of 32 bytes (one machine word of state).
void BM_NearMissBlocks32(benchmark::State& state) {
  static const std::string body = blocks_body();
  static const std::string pattern = near_miss_pattern(32);
  run(state, pattern, body, true);
}
BENCHMARK(BM_NearMissBlocks32)->Unit(benchmark::kMillisecond);

// Segments of 100 bytes: a 2047-byte pattern holds 20 of them.
void BM_NearMissBlocks100(benchmark::State& state) {
  static const std::string body = blocks_body();
  static const std::string pattern = near_miss_pattern(100);
  run(state, pattern, body, true);
}
BENCHMARK(BM_NearMissBlocks100)->Unit(benchmark::kMillisecond);

// One run of 'a' only: every segment occurrence is too close to the one
// before, so a lower bound rejects about a million occurrences in a row.
void BM_BoundRejectsEveryOccurrence(benchmark::State& state) {
  static const std::string body(kBody, 'a');
  std::string pattern;
  for (int i = 0; i < kWildcards; ++i) pattern += "a?a*<min=3 max=1000000 #1>";
  pattern += "aa";
  run(state, pattern, body, false);
}
BENCHMARK(BM_BoundRejectsEveryOccurrence)->Unit(benchmark::kMillisecond);

// 20 plain wildcards over one run of 'a' with a final segment that is
// missing: every segment is found at once, the last one scans the rest.
void BM_PlainWildcardsFinalMiss(benchmark::State& state) {
  static const std::string body(kBody, 'a');
  std::string pattern;
  for (int i = 0; i < kWildcards; ++i) pattern += "a?a*";
  pattern += std::string(40, 'a') + "b";
  run(state, pattern, body, false);
}
BENCHMARK(BM_PlainWildcardsFinalMiss)->Unit(benchmark::kMillisecond);

// A wildcard pattern made of '?' only: 20 segments of 60 '?' each.
void BM_QuestionMarksOnly(benchmark::State& state) {
  static const std::string body(kBody, 'x');
  std::string pattern;
  for (int i = 0; i < kWildcards; ++i) pattern += std::string(60, '?') + "*<min=20000>";
  pattern += "y";
  run(state, pattern, body, false);
}
BENCHMARK(BM_QuestionMarksOnly)->Unit(benchmark::kMillisecond);

// For scale: one near-miss segment of 100 bytes over the body, searched
// position by position as the segment is defined, against SegmentSearcher.
size_t naive_find(std::string_view text, std::string_view segment) {
  for (size_t i = 0; i + segment.size() <= text.size(); ++i) {
    size_t j = 0;
    while (j < segment.size() && (segment[j] == '?' || segment[j] == text[i + j])) ++j;
    if (j == segment.size()) return i;
  }
  return std::string_view::npos;
}

void BM_OneSegmentNaive(benchmark::State& state) {
  static const std::string body = std::string(kBody - 1, 'a') + "b";
  static const std::string segment = std::string(49, 'a') + "?" + std::string(49, 'a') + "b";
  for (auto _ : state) benchmark::DoNotOptimize(naive_find(body, segment));
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(body.size()));
}
BENCHMARK(BM_OneSegmentNaive)->Unit(benchmark::kMillisecond);

void BM_OneSegmentFindSegment(benchmark::State& state) {
  static const std::string body = std::string(kBody - 1, 'a') + "b";
  static const std::string segment = std::string(49, 'a') + "?" + std::string(49, 'a') + "b";
  for (auto _ : state) benchmark::DoNotOptimize(pw::SegmentSearcher(segment).find(body, 0));
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(body.size()));
}
BENCHMARK(BM_OneSegmentFindSegment)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
