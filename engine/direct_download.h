#pragma once
// A whole mail fetched by its unique identifier: a POP3 session of its own
// logs in, lists the identifiers, asks for the mail's size, receives it in
// about ten blocks and quits. Blocks the calling thread for the whole
// transfer (each wait bounded by the stream's time-out). The download dialog
// watches it through a DownloadWatcher; the headless host runs it unwatched.
#include <cstdint>

#include "engine/action_host.h"

namespace pw {

class DownloadWatcher {
 public:
  virtual ~DownloadWatcher() = default;
  // A new step; `text_id` is its status text.
  virtual void step(int text_id) = 0;
  // The size is known: blocks of `block` bytes, progress from 0 to `top` in
  // units of `scale` bytes.
  virtual void sized(uint32_t block, uint32_t scale, int top) = 0;
  virtual void progress(int position) = 0;
  // Tested before every step and between blocks.
  [[nodiscard]] virtual bool cancelled() const = 0;
};

// The session is opened with `options` (the hosts give no password prompt:
// a download offers no correction). A cancel that comes before the whole
// mail is in gives `cancelled`.
[[nodiscard]] DownloadResult download_directly(const DownloadRequest& request, const Pop3Options& options,
                                               DownloadWatcher* watcher = nullptr);

}  // namespace pw
