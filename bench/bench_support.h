#pragma once
// Helpers shared by the benchmarks that start real servers: running inside
// the private network namespace and running the peer programs.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace pw::bench {

// The median of `v`; 0 for none.
inline double median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Outside scripts/netns.sh, runs this program again inside it (and returns
// only when that fails: 1). Inside, returns 0.
inline int enter_netns(int argc, char** argv) {
  if (const char* in = std::getenv("PW_IN_NETNS"); in && std::string(in) == "1") return 0;
  std::string self = std::filesystem::canonical("/proc/self/exe").string();
  std::string netns = std::string(PW_SOURCE_DIR) + "/scripts/netns.sh";
  std::vector<char*> args{netns.data(), self.data()};
  for (int i = 1; i < argc; ++i) args.push_back(argv[i]);
  args.push_back(nullptr);
  ::execv(netns.c_str(), args.data());
  std::perror("scripts/netns.sh");
  return 1;
}

// Runs a program with its standard error discarded and its standard output
// in `out` (discarded when null); its exit status, -1 when it did not exit.
inline int run_program(const std::vector<std::string>& args, const std::vector<std::string>& env,
                       const std::filesystem::path* out = nullptr) {
  std::vector<char*> argv, envp;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  for (const auto& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 1, out ? out->c_str() : "/dev/null", O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  int rc = posix_spawn(&pid, args[0].c_str(), &fa, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&fa);
  if (rc != 0) return -1;
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace pw::bench
