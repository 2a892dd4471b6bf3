#include "engine/direct_download.h"

#include "net/pop3_session.h"

namespace pw {

DownloadResult download_directly(const DownloadRequest& request, ByteStream& stream) {
  Pop3Session pop(stream);
  pop.set_tls({.required = request.require_tls});
  DownloadResult result;
  if (!pop.log_in(request.pop_server, request.login, request.password) || !pop.uidl_all()) return result;
  if (int n = pop.find_message(request.uid); n == 0) {
    result.outcome = DownloadResult::Outcome::not_on_server;
  } else {
    int r = pop.retr(n);
    while (r == Pop3Session::kMore) r = pop.receive_more();
    if (r == Pop3Session::kComplete) {
      result.outcome = DownloadResult::Outcome::downloaded;
      result.text = pop.take_data_text();
    }
  }
  (void)pop.quit();
  return result;
}

}  // namespace pw
