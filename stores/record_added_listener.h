#pragma once
// Told about every record appended to the month a monthly store shows (the
// information view implements it).
#include <cstddef>

namespace pw {

template <class Record>
class RecordAddedListener {
 public:
  virtual ~RecordAddedListener() = default;
  // Called on the appending thread, in append order, without the store's
  // lock held: the listener may wait for the UI thread, and the UI thread may
  // use the store meanwhile. `index` is the record's position in the shown
  // month when it was appended. The listener must not append to the same
  // store: appends wait for it to return.
  virtual void record_added(const Record& record, size_t index) = 0;
};

}  // namespace pw
