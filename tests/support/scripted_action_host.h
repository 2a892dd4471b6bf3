#pragma once
// An ActionHost for tests: records every call and answers questions and
// downloads from scripts the test sets beforehand.
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "engine/action_host.h"

namespace pw::test {

class ScriptedActionHost : public ActionHost {
 public:
  struct Notice {
    std::string title;
    std::string message;
  };

  void status_text(int pane, std::string_view text) override { statuses.emplace_back(pane, std::string(text)); }
  void notice(std::string_view title, std::string_view message) override {
    notices.push_back({std::string(title), std::string(message)});
  }
  bool ask_yes_no(std::string_view message) override;
  void warning(std::string_view message) override { warnings.emplace_back(message); }
  DownloadResult download_mail(const DownloadRequest& request) override;

  // Answers for ask_yes_no in order; a question beyond them fails the test.
  std::deque<bool> answers;
  // Results for download_mail in order; a download beyond them fails the test.
  std::deque<DownloadResult> downloads;

  std::vector<std::pair<int, std::string>> statuses;
  std::vector<Notice> notices;
  std::vector<std::string> questions;
  std::vector<std::string> warnings;
  std::vector<DownloadRequest> download_requests;
};

}  // namespace pw::test
