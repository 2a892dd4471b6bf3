#pragma once
// The body-pattern test: literal segments separated by wildcards, each
// wildcard optionally bounded ("*<min=N max=N #K>") and captured.
#include <string_view>

namespace pw {

class CaptureList;
struct Rule;

// True when `text` matches `pattern`. Every bounded wildcard with a capture
// number appends (rule, K, matched text) to `captures` as it is matched;
// captures made before a later step fails stay there.
//
// The walk is greedy-free: each segment takes its left-most acceptable
// occurrence after the previous one, and only the first acceptable occurrence
// of the final segment is tried, so the text is scanned once per pattern.
[[nodiscard]] bool match_pattern(std::string_view pattern, std::string_view text, CaptureList& captures,
                                 const Rule* rule);

}  // namespace pw
