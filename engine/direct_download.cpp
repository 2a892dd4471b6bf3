#include "engine/direct_download.h"

#include <algorithm>

#include "engine/check_run.h"
#include "net/pop3_session.h"
#include "res/string_ids.h"

namespace pw {
namespace {

// Steps run while `go` holds: no watcher, or one not cancelled.
struct Steps {
  DownloadWatcher* watcher;
  [[nodiscard]] bool go() const { return watcher == nullptr || !watcher->cancelled(); }
  [[nodiscard]] bool begin(int text_id) const {
    if (!go()) return false;
    if (watcher) watcher->step(text_id);
    return true;
  }
};

}  // namespace

DownloadResult download_directly(const DownloadRequest& request, const Pop3Options& options,
                                  DownloadWatcher* watcher) {
  DownloadResult result;
  const Steps steps{watcher};
  using Outcome = DownloadResult::Outcome;
  if (!steps.begin(sid::kConnecting)) {
    result.outcome = Outcome::cancelled;
    return result;
  }
  Pop3Connection connection = open_pop3(request.account, options);
  Pop3Session& pop = *connection;
  const bool session = connection.ok();
  int n = 0;
  if (session && steps.begin(sid::kFindingMail) && pop.uidl_all()) {
    n = pop.find_message(request.uid);
    if (n == 0) result.outcome = Outcome::not_on_server;
  }
  if (n != 0 && steps.begin(sid::kSizingMail) && pop.list_one(n)) {
    const uint32_t size = pop.size(0);
    const uint32_t block = whole_mail_chunk_size(size);
    const uint32_t scale = progress_scale(size);
    const int top = static_cast<int>(size / scale + 1);
    // The size is the server's word: a claimed 4 GiB must not make the
    // receive buffer 512 MiB before a byte arrived.
    pop.set_chunk_size(whole_mail_receive_size(size, 0));
    if (watcher) watcher->sized(block, scale, top);
    if (steps.begin(sid::kDownloadingMail)) {
      int r = pop.retr(n);
      while (r == Pop3Session::kMore && steps.go()) {
        if (watcher) watcher->progress(std::min(top, static_cast<int>(pop.data_length() / scale)));
        pop.set_chunk_size(whole_mail_receive_size(size, pop.data_length()));
        r = pop.receive_more();
      }
      if (r == Pop3Session::kComplete) {
        if (watcher) watcher->progress(top);
        result.outcome = Outcome::downloaded;
        result.text = pop.take_data_text();
      }
    }
  }
  // A cancelled transfer leaves the session mid-answer: no QUIT then.
  if (session && steps.begin(sid::kDisconnecting)) (void)pop.quit();
  if (!steps.go() && result.outcome != Outcome::downloaded) result.outcome = Outcome::cancelled;
  return result;
}

}  // namespace pw
