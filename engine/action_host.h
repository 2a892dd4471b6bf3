#pragma once
// What the mail actions need from whoever runs them: the status bar, the
// notice box, a yes/no question, a warning box and the download of a whole
// mail. The check run's host derives from this; tests script it.
#include <string>
#include <string_view>

#include "engine/pop3_opener.h"

namespace pw {

// What to download: the mail's unique identifier on the account's server.
struct DownloadRequest {
  Pop3Account account;
  std::string uid;
};

struct DownloadResult {
  enum class Outcome {
    not_on_server = 1,  // the identifier is no longer listed
    error = 2,          // connect, log-in or transfer failed
    cancelled = 3,      // the user stopped it
    downloaded = 4,     // `text` holds the whole mail
  };
  Outcome outcome = Outcome::error;
  std::string text;  // the mail as the server sent it, with its final CR LF "." CR LF
};

class ActionHost {
 public:
  virtual ~ActionHost() = default;

  // Sets the text of status-bar pane `pane` (1 is the step pane). Texts are
  // GB18030; the receiver cuts them to what the pane shows.
  virtual void status_text(int pane, std::string_view text) = 0;

  // The notice box: modal, closes itself after ten seconds.
  virtual void notice(std::string_view title, std::string_view message) = 0;

  // A Yes/No question with the caption "询问"; true for Yes.
  virtual bool ask_yes_no(std::string_view message) = 0;

  // A message box with the caption "错误" and the warning icon.
  virtual void warning(std::string_view message) = 0;

  // Downloads one whole mail (the download dialog), waiting for its end.
  virtual DownloadResult download_mail(const DownloadRequest& request) = 0;
};

}  // namespace pw
