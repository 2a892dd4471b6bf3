#pragma once
// `pelliwick --check-once [--data-dir DIR]`: one check of every watched
// account without a display, for cron or a systemd timer. Loads the stores of
// the program directory, runs the check through the headless host, writes
// only what the check changed (never the window's stores from its start-time
// copy) and returns the exit code: 0 when every account was checked without
// error, or when the run was skipped because the window (or another headless
// check) is working on the directory; 1 otherwise.
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "base/program_dir.h"
#include "net/byte_stream.h"
#include "net/protocol_trace.h"

namespace pw {

class DialUp;
struct RunOutcome;
struct SystemSettings;

struct CheckOnceOptions {
  std::FILE* out = stderr;    // progress and notices
  DialUp* dial_up = nullptr;  // nullptr: NetworkManager on the system bus
  // The POP3 connections; empty: LineSockets. Tests give scripted peers.
  std::function<std::unique_ptr<ByteStream>()> pop3_stream;
  // The protocol log of the run's POP3 and SMTP sessions; empty: none.
  ProtocolTrace pop3_trace;
  ProtocolTrace smtp_trace;
  // Called once the run has ended (not when it was skipped).
  std::function<void(const RunOutcome&, const SystemSettings&)> finished;
};

[[nodiscard]] int run_check_once(const ProgramDir& dir, const CheckOnceOptions& options = {});

}  // namespace pw
