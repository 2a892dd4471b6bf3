#pragma once
// Delete: queues at most one request to delete the mail on the server, for
// the first rule that deletes and whose policy allows it, else for the extra
// delete operation.
#include <cstdint>
#include <vector>

namespace pw {

class MailProcessor;
struct ActionServices;

class DeleteAction {
 public:
  DeleteAction(MailProcessor& mail, const ActionServices& services) : mail_(mail), services_(services) {}

  // A rule that deletes "in any case" queues regardless of `success`; one
  // that deletes "when the other operations succeeded" only while its flag
  // is still set.
  void run_step(const std::vector<uint8_t>& success);

 private:
  MailProcessor& mail_;
  const ActionServices& services_;
};

}  // namespace pw
