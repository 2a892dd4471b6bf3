#pragma once
// A whole mail fetched by its unique identifier without a dialog: a POP3
// session of its own logs in, lists the identifiers, receives the message
// that carries the identifier and quits. Blocks the calling thread for the
// whole transfer (each wait bounded by the stream's time-out).
#include "engine/action_host.h"

namespace pw {

class ByteStream;

// The session talks over `stream`; no password correction is offered.
[[nodiscard]] DownloadResult download_directly(const DownloadRequest& request, ByteStream& stream);

}  // namespace pw
