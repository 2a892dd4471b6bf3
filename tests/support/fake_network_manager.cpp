#include "support/fake_network_manager.h"

namespace pw::test {

FakeNetworkManager::FakeNetworkManager(const FakeNetworkManagerOptions& options) {
  dir_.write("bus.conf",
             "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
             " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
             "<busconfig><type>session</type><listen>unix:dir=" + dir_.path().string() + "</listen>"
             "<auth>EXTERNAL</auth><policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
             "<allow receive_sender=\"*\"/><allow eavesdrop=\"true\"/>"
             "<allow own=\"*\"/></policy></busconfig>\n");
  if (!bus_.start({"/usr/bin/dbus-daemon", "--nofork", "--print-address=1",
                   "--config-file=" + (dir_ / "bus.conf").string()},
                  dir_ / "bus.log"))
    return;
  auto line = bus_.read_line(std::chrono::seconds(10));
  if (!line || line->empty()) return;
  address_ = *line;

  std::vector<std::string> argv = {"/usr/bin/python3", PW_SOURCE_DIR "/tests/support/fake_network_manager.py",
                                   "--bus", address_};
  for (const std::string& p : options.profiles) argv.insert(argv.end(), {"--profile", p});
  for (const std::string& f : options.failing) argv.insert(argv.end(), {"--failing", f});
  for (const std::string& u : options.up) argv.insert(argv.end(), {"--up", u});
  for (const std::string& id : options.slow) argv.insert(argv.end(), {"--slow", id});
  if (options.loopback) argv.push_back("--loopback");
  if (options.wifi) argv.push_back("--wifi");
  if (!service_.start(argv, dir_ / "service.log")) return;
  line = service_.read_line(std::chrono::seconds(10));
  ready_ = line && *line == "READY";
}

std::vector<std::string> FakeNetworkManager::calls(std::chrono::milliseconds settle) {
  std::vector<std::string> out;
  while (auto line = service_.read_line(settle)) out.push_back(*line);
  return out;
}

std::string FakeNetworkManager::log() const { return dir_.read("bus.log") + dir_.read("service.log"); }

}  // namespace pw::test
