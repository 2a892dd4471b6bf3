#pragma once
// The outcome of writing a store: success, or the number of the text the user
// interface shows for the failure.
namespace pw {

struct StoreResult {
  bool ok = true;
  int text_id = 0;  // string-table text for the failure; 0 when ok
};

}  // namespace pw
