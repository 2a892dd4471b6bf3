#include "support/scripted_peer.h"

#include <thread>

#include <gtest/gtest.h>

#include <cstring>

namespace pw::test {

ScriptedPeer& ScriptedPeer::server(std::string bytes, size_t chunk) {
  steps_.push_back({Kind::Server, std::move(bytes), chunk});
  return *this;
}

ScriptedPeer& ScriptedPeer::client(std::string bytes) {
  steps_.push_back({Kind::Client, std::move(bytes), 0});
  return *this;
}

ScriptedPeer& ScriptedPeer::silent() {
  steps_.push_back({Kind::Silent, {}, 0});
  return *this;
}

ScriptedPeer& ScriptedPeer::close() {
  steps_.push_back({Kind::Close, {}, 0});
  return *this;
}

ScriptedPeer& ScriptedPeer::refuse_connect() {
  refuse_ = true;
  return *this;
}

bool ScriptedPeer::connect(const std::string& host, int port) {
  host_ = host;
  port_ = port;
  return !refuse_;
}

int ScriptedPeer::send(std::string_view data) {
  written_.append(data);
  std::string_view rest = data;
  while (!rest.empty()) {
    if (steps_.empty() || steps_.front().kind != Kind::Client) {
      ADD_FAILURE() << "client sent bytes the script does not expect: \"" << std::string(rest) << "\"";
      return static_cast<int>(data.size());
    }
    Step& step = steps_.front();
    size_t n = std::min(step.bytes.size(), rest.size());
    if (rest.substr(0, n) != std::string_view(step.bytes).substr(0, n)) {
      ADD_FAILURE() << "client sent \"" << std::string(rest) << "\" where the script expects \"" << step.bytes
                    << "\"";
      steps_.pop_front();
      return static_cast<int>(data.size());
    }
    step.bytes.erase(0, n);
    rest.remove_prefix(n);
    if (step.bytes.empty()) steps_.pop_front();
  }
  return static_cast<int>(data.size());
}

int ScriptedPeer::receive(char* buffer, size_t capacity) {
  if (clock_) {
    *clock_ += delay_;
  } else if (delay_.count() > 0) {
    std::this_thread::sleep_for(delay_);
  }
  if (closed_) return 0;
  if (steps_.empty()) return 0;
  Step& step = steps_.front();
  switch (step.kind) {
    case Kind::Client:
      ADD_FAILURE() << "client reads while the script expects it to send \"" << step.bytes << "\"";
      return kTimeout;
    case Kind::Silent:
      steps_.pop_front();
      return kTimeout;
    case Kind::Close:
      steps_.pop_front();
      closed_ = true;
      return 0;
    case Kind::Server: {
      size_t n = std::min(step.bytes.size(), capacity);
      if (step.chunk > 0) n = std::min(n, step.chunk);
      std::memcpy(buffer, step.bytes.data(), n);
      step.bytes.erase(0, n);
      if (step.bytes.empty()) steps_.pop_front();
      return static_cast<int>(n);
    }
  }
  return kError;
}

}  // namespace pw::test
