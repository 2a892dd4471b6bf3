#pragma once
// `pelliwick --check-once [--data-dir DIR]`: one check of every watched
// account without a display, for cron or a systemd timer. Loads the stores of
// the program directory, runs the check through the headless host, writes
// only what the check changed (never the window's stores from its start-time
// copy) and returns the exit code: 0 when every account was checked without
// error, 1 otherwise.
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "base/program_dir.h"
#include "net/byte_stream.h"

namespace pw {

class DialUp;

struct CheckOnceOptions {
  std::FILE* out = stderr;    // progress and notices
  DialUp* dial_up = nullptr;  // nullptr: no dialler (always online)
  // The POP3 connections; empty: LineSockets. Tests give scripted peers.
  std::function<std::unique_ptr<ByteStream>()> pop3_stream;
};

// True when `argv` asks for the check-once mode.
[[nodiscard]] bool wants_check_once(int argc, char** argv);

[[nodiscard]] int run_check_once(const ProgramDir& dir, const CheckOnceOptions& options = {});

}  // namespace pw
