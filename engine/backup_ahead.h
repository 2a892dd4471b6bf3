#pragma once
// Backups written ahead of their turn. While the check names, indexes and
// records one mail, one worker thread writes the backups of the next few
// into files without a name. Each backup is still named, indexed and logged
// in its mail's own turn, in order; a file written ahead and never named
// leaves nothing behind, so a kill loses nothing and repeats nothing more.
#include <condition_variable>
#include <cstddef>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>
#include <vector>

#include "engine/save_folder.h"

namespace pw {

class BackupsAhead {
 public:
  struct Job {
    size_t turn;            // the mail's place in the run; ascending, one job each
    size_t folder;          // where its first backup goes: an entry of `folders`
    std::string_view data;  // the mail text, unchanged until its turn is left
  };

  // Starts the worker, which writes at most `ahead` turns beyond the one
  // being acted on.
  BackupsAhead(std::vector<SaveFolder> folders, std::vector<Job> jobs, size_t ahead);
  // Waits for the file being written; the files not taken are closed.
  ~BackupsAhead();
  BackupsAhead(const BackupsAhead&) = delete;
  BackupsAhead& operator=(const BackupsAhead&) = delete;

  // Turn `turn` is being acted on: the worker may go on `ahead` beyond it.
  void reach(size_t turn);
  // The file written ahead for `data` in `folder` in the turn being acted
  // on, waited for while it is being written. nullopt when there is none
  // (not planned, not started yet, or it failed): the caller writes the
  // backup itself then, as it would without.
  [[nodiscard]] std::optional<SaveFolder::Unnamed> take(const std::filesystem::path& folder, std::string_view data);
  // Done with turn `turn`: its text may go. Waits while it is being written.
  void leave(size_t turn);

 private:
  enum class State { queued, writing, written, taken };
  void work();
  // The job of `turn`, or jobs_.size().
  size_t find(size_t turn) const;
  void settle(size_t j, std::unique_lock<std::mutex>& lock);

  const std::vector<SaveFolder> folders_;
  std::vector<Job> jobs_;
  std::vector<State> states_;
  std::vector<std::optional<SaveFolder::Unnamed>> files_;
  const size_t ahead_;
  std::mutex mutex_;
  std::condition_variable changed_;
  size_t reached_ = 0;
  bool stop_ = false;
  // Who waits on changed_ now: the worker for its turn, the check thread
  // for a file being written.
  bool worker_waits_ = false;
  size_t wake_at_ = 0;  // the turn the waiting worker waits for
  bool check_waits_ = false;
  std::thread worker_;
};

}  // namespace pw
