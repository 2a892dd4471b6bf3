#pragma once
// Requests to delete a mail on the server. The delete action queues them; the
// deletion phase of the same account consumes the queue.
#include <mutex>
#include <string>
#include <vector>

namespace pw {

struct PendingDeletion {
  std::string uid;
  std::string sender;
  std::string recipient;
  std::string subject;
  std::string description;  // the log text of the deletion
  bool deleted = false;     // set by the deletion phase only
};

// The queue of requests, owned by the application and handed to whoever runs
// actions. Appends and takes are serialised so a remote-management worker
// and the check worker cannot corrupt it.
class PendingDeletionQueue {
 public:
  void push(PendingDeletion request);

  // Every queued request in order; the queue is empty afterwards.
  [[nodiscard]] std::vector<PendingDeletion> take_all();

  [[nodiscard]] size_t size() const;
  [[nodiscard]] bool empty() const { return size() == 0; }

 private:
  mutable std::mutex mutex_;
  std::vector<PendingDeletion> requests_;
};

}  // namespace pw
