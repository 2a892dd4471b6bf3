#include "engine/pending_deletion.h"

#include <utility>

namespace pw {

void PendingDeletionQueue::push(PendingDeletion request) {
  std::lock_guard lock(mutex_);
  requests_.push_back(std::move(request));
}

std::vector<PendingDeletion> PendingDeletionQueue::take_all() {
  std::lock_guard lock(mutex_);
  std::vector<PendingDeletion> out;
  out.swap(requests_);
  return out;
}

size_t PendingDeletionQueue::size() const {
  std::lock_guard lock(mutex_);
  return requests_.size();
}

}  // namespace pw
