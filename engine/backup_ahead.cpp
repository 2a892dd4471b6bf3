#include "engine/backup_ahead.h"

#include <algorithm>

namespace pw {

BackupsAhead::BackupsAhead(std::vector<SaveFolder> folders, std::vector<Job> jobs, size_t ahead)
    : folders_(std::move(folders)),
      jobs_(std::move(jobs)),
      states_(jobs_.size(), State::queued),
      files_(jobs_.size()),
      ahead_(ahead) {
  worker_ = std::thread([this] { work(); });
}

BackupsAhead::~BackupsAhead() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  worker_.join();
}

void BackupsAhead::work() {
  std::unique_lock lock(mutex_);
  for (size_t j = 0; j < jobs_.size(); ++j) {
    // Once it is `ahead_` turns ahead, the worker sleeps until the check is
    // within half of that: one wake-up (a system call on each side) serves
    // several mails, not each.
    if (!stop_ && jobs_[j].turn > reached_ + ahead_) {
      wake_at_ = jobs_[j].turn - ahead_ / 2;
      worker_waits_ = true;
      changed_.wait(lock, [&] { return stop_ || reached_ >= wake_at_; });
      worker_waits_ = false;
    }
    if (stop_) return;
    // A turn already reached is left to the mail's own turn.
    if (states_[j] != State::queued || jobs_[j].turn < reached_) continue;
    states_[j] = State::writing;
    lock.unlock();
    std::optional<SaveFolder::Unnamed> file = folders_[jobs_[j].folder].write_ahead(jobs_[j].data);
    lock.lock();
    files_[j] = std::move(file);
    states_[j] = State::written;
    if (check_waits_) changed_.notify_all();
  }
}

size_t BackupsAhead::find(size_t turn) const {
  auto it = std::lower_bound(jobs_.begin(), jobs_.end(), turn, [](const Job& j, size_t t) { return j.turn < t; });
  return it != jobs_.end() && it->turn == turn ? static_cast<size_t>(it - jobs_.begin()) : jobs_.size();
}

void BackupsAhead::settle(size_t j, std::unique_lock<std::mutex>& lock) {
  check_waits_ = true;
  changed_.wait(lock, [&] { return states_[j] != State::writing; });
  check_waits_ = false;
  states_[j] = State::taken;
}

void BackupsAhead::reach(size_t turn) {
  bool wake = false;
  {
    std::lock_guard lock(mutex_);
    reached_ = std::max(reached_, turn);
    wake = worker_waits_ && reached_ >= wake_at_;
  }
  // A wake-up is a system call: only for a worker that waits for this turn.
  if (wake) changed_.notify_all();
}

std::optional<SaveFolder::Unnamed> BackupsAhead::take(const std::filesystem::path& folder, std::string_view data) {
  std::unique_lock lock(mutex_);
  const size_t j = find(reached_);
  if (j == jobs_.size() || states_[j] == State::taken) return std::nullopt;
  settle(j, lock);
  std::optional<SaveFolder::Unnamed> file = std::move(files_[j]);
  files_[j].reset();
  const Job& job = jobs_[j];
  if (folders_[job.folder].path() != folder || job.data.data() != data.data() || job.data.size() != data.size())
    return std::nullopt;
  return file;
}

void BackupsAhead::leave(size_t turn) {
  std::unique_lock lock(mutex_);
  const size_t j = find(turn);
  if (j == jobs_.size()) return;
  settle(j, lock);
  files_[j].reset();
}

}  // namespace pw
