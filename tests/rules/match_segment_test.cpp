#include <gtest/gtest.h>

#include <random>
#include <string>

#include "rules/segment_searcher.h"

namespace pw {
namespace {

constexpr size_t npos = std::string_view::npos;

size_t find_segment(std::string_view text, std::string_view segment, size_t from = 0) {
  return SegmentSearcher(segment).find(text, from);
}

// The plain definition: every start position, byte by byte, '?' any byte.
size_t reference_find(std::string_view text, std::string_view segment, size_t from) {
  for (size_t i = from; i < text.size(); ++i) {
    if (segment.size() > text.size() - i) return npos;
    size_t j = 0;
    while (j < segment.size() && (segment[j] == '?' || segment[j] == text[i + j])) ++j;
    if (j == segment.size()) return i;
  }
  return npos;
}

struct SegmentCase {
  const char* text;
  const char* segment;
  size_t from;
  size_t expected;
};

TEST(MatchFindSegment, findsLeftMostOccurrence) {
  const SegmentCase cases[] = {
      {"zabc", "abc", 0, 1},
      {"abcabc", "abc", 1, 3},
      {"abc", "abc", 0, 0},           // may end exactly at the end
      {"ab", "abc", 0, npos},         // never runs past the end
      {"xaxcabc", "a?c", 0, 1},       // '?' takes any byte
      {"a?c", "a?c", 0, 0},
      {"abc", "???", 0, 0},
      {"abc", "????", 0, npos},
      {"ABC", "abc", 0, npos},        // letter case matters
      {"abc", "", 0, 0},              // the empty segment matches at the start
      {"abc", "", 2, 2},
      {"abc", "", 3, npos},           // but not where no text is left
      {"", "", 0, npos},              // an empty text matches nothing
      {"", "a", 0, npos},
      {"abc", "c", 5, npos},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(find_segment(c.text, c.segment, c.from), c.expected) << c.text << " / " << c.segment;
  }
}

TEST(MatchFindSegment, bytesAboveAsciiAndNulCompareExactly) {
  const std::string text("\xd6\xd0\x00\xce\xc4", 5);
  EXPECT_EQ(find_segment(text, std::string("\x00\xce", 2)), 2u);
  EXPECT_EQ(find_segment(text, "\xd0?\xce"), 1u);
  EXPECT_EQ(find_segment(text, "\xce\xc5"), npos);
}

// Random texts over a small alphabet give many overlaps and near-misses; the
// searcher must agree with the definition everywhere, also for segments
// longer than one 64-bit word and when walking occurrences one by one.
TEST(MatchFindSegment, agreesWithDefinitionOnRandomInputs) {
  std::mt19937 rng(12345);
  const char alphabet[] = "ab?";
  for (int round = 0; round < 3000; ++round) {
    const size_t n = rng() % 300;
    const size_t m = round % 10 == 0 ? 60 + rng() % 100 : rng() % 8;
    std::string text, segment;
    for (size_t i = 0; i < n; ++i) text += alphabet[rng() % 2];
    for (size_t i = 0; i < m; ++i) segment += alphabet[rng() % (round % 3 == 0 ? 3 : 2)];
    if (m > 20 && n > m) segment = text.substr(rng() % (n - m), m);  // make real occurrences likely

    const size_t from = n ? rng() % (n + 1) : 0;
    ASSERT_EQ(find_segment(text, segment, from), reference_find(text, segment, from)) << text << " / " << segment;

    SegmentSearcher searcher(segment);
    size_t t = 0;
    for (;;) {
      const size_t got = searcher.find(text, t);
      ASSERT_EQ(got, reference_find(text, segment, t)) << text << " / " << segment << " from " << t;
      if (got == npos) break;
      t = got + 1;
    }
  }
}

TEST(MatchFindSegment, searcherStartsAfreshOnAnotherTextOrPosition) {
  SegmentSearcher searcher("aa");
  const std::string one = "aaaa";
  const std::string two = "xaa";
  EXPECT_EQ(searcher.find(one, 0), 0u);
  EXPECT_EQ(searcher.find(two, 1), 1u);  // another text: no state carried over
  EXPECT_EQ(searcher.find(one, 0), 0u);  // going back: starts again
  EXPECT_EQ(searcher.find(one, 1), 1u);
  EXPECT_EQ(searcher.find(one, 3), npos);
  EXPECT_EQ(searcher.find(one, 2), 2u);
}

}  // namespace
}  // namespace pw
