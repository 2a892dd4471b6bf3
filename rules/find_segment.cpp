#include "rules/find_segment.h"

#include "rules/segment_searcher.h"

namespace pw {

size_t find_segment(std::string_view text, std::string_view segment, size_t from) {
  SegmentSearcher searcher(segment);
  return searcher.find(text, from);
}

}  // namespace pw
