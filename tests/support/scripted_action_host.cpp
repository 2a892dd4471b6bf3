#include "support/scripted_action_host.h"

#include <gtest/gtest.h>

namespace pw::test {

bool ScriptedActionHost::ask_yes_no(std::string_view message) {
  questions.emplace_back(message);
  if (answers.empty()) {
    ADD_FAILURE() << "unexpected question";
    return false;
  }
  const bool answer = answers.front();
  answers.pop_front();
  return answer;
}

DownloadResult ScriptedActionHost::download_mail(const DownloadRequest& request) {
  download_requests.push_back(request);
  if (downloads.empty()) {
    ADD_FAILURE() << "unexpected download of " << request.uid;
    return {};
  }
  DownloadResult result = std::move(downloads.front());
  downloads.pop_front();
  return result;
}

}  // namespace pw::test
