#include "net/network_manager_dial_up.h"

#include <pwd.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

#include "base/code_page.h"
#include "res/string_table.h"

namespace pw {
namespace {

constexpr char kService[] = "org.freedesktop.NetworkManager";
constexpr char kManagerPath[] = "/org/freedesktop/NetworkManager";
constexpr char kManager[] = "org.freedesktop.NetworkManager";
constexpr char kSettingsPath[] = "/org/freedesktop/NetworkManager/Settings";
constexpr char kSettings[] = "org.freedesktop.NetworkManager.Settings";
constexpr char kConnection[] = "org.freedesktop.NetworkManager.Settings.Connection";
constexpr char kActive[] = "org.freedesktop.NetworkManager.Connection.Active";

// NetworkManager's active-connection state reasons 0..14 have the texts
// sid::kUnknownReason + reason.
constexpr uint32_t kLastReason = 14;

// Results of dial when NetworkManager gave no reason code of its own.
constexpr int kBusFailed = -1;
constexpr int kNotFound = -2;
constexpr int kTimedOut = -3;

// Active connection states.
constexpr uint32_t kActivated = 2;
constexpr uint32_t kDeactivated = 4;
// NetworkManager's global state "connected (global)" and connectivity "full".
constexpr uint32_t kConnectedGlobal = 70;
constexpr uint32_t kConnectivityFull = 4;

struct BusDeleter {
  void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
using Bus = std::unique_ptr<sd_bus, BusDeleter>;

struct MessageDeleter {
  void operator()(sd_bus_message* m) const { sd_bus_message_unref(m); }
};
using Message = std::unique_ptr<sd_bus_message, MessageDeleter>;

// An sd_bus_error freed when it goes.
struct Error {
  sd_bus_error e = SD_BUS_ERROR_NULL;
  ~Error() { sd_bus_error_free(&e); }
  [[nodiscard]] std::string text() const { return utf8_to_gb(e.message ? e.message : e.name ? e.name : ""); }
};

Bus open_bus(const std::string& address) {
  sd_bus* bus = nullptr;
  if (address.empty()) {
    if (sd_bus_open_system(&bus) < 0) return nullptr;
    return Bus(bus);
  }
  if (sd_bus_new(&bus) < 0) return nullptr;
  Bus owned(bus);
  if (sd_bus_set_address(bus, address.c_str()) < 0 || sd_bus_set_bus_client(bus, 1) < 0 || sd_bus_start(bus) < 0)
    return nullptr;
  return owned;
}

// The object paths of an "ao" read from `m`.
std::vector<std::string> read_paths(sd_bus_message* m) {
  std::vector<std::string> paths;
  if (sd_bus_message_enter_container(m, 'a', "o") < 0) return paths;
  const char* path = nullptr;
  while (sd_bus_message_read(m, "o", &path) > 0) paths.emplace_back(path);
  (void)sd_bus_message_exit_container(m);
  return paths;
}

std::optional<uint32_t> manager_property(sd_bus* bus, const char* name) {
  Error error;
  uint32_t value = 0;
  if (sd_bus_get_property_trivial(bus, kService, kManagerPath, kManager, name, &error.e, 'u', &value) < 0)
    return std::nullopt;
  return value;
}

// Online: NetworkManager reaches the Internet, by its global state or by its
// connectivity check. An active connection alone says nothing: loopback is
// one, and so is a link without a route out.
std::optional<bool> online(sd_bus* bus) {
  std::optional<uint32_t> state = manager_property(bus, "State");
  if (!state) return std::nullopt;
  if (*state == kConnectedGlobal) return true;
  return manager_property(bus, "Connectivity") == kConnectivityFull;
}

void deactivate(sd_bus* bus, const std::string& active_path) {
  Error error;
  sd_bus_message* reply = nullptr;
  if (sd_bus_call_method(bus, kService, kManagerPath, kManager, "DeactivateConnection", &error.e, &reply, "o",
                         active_path.c_str()) >= 0)
    sd_bus_message_unref(reply);
}

struct Profile {
  std::string path;
  std::string id;  // UTF-8
  std::string type;
  std::vector<std::string> permissions;
};

// The "connection" group of a GetSettings answer (a{sa{sv}}): id, type and
// permissions.
void read_connection_group(sd_bus_message* m, Profile& profile) {
  if (sd_bus_message_enter_container(m, 'a', "{sv}") < 0) return;
  while (sd_bus_message_enter_container(m, 'e', "sv") > 0) {
    const char* key = nullptr;
    if (sd_bus_message_read(m, "s", &key) < 0) break;
    const std::string name(key);
    const char* value = nullptr;
    if ((name == "id" || name == "type") && sd_bus_message_enter_container(m, 'v', "s") > 0) {
      if (sd_bus_message_read(m, "s", &value) > 0) (name == "id" ? profile.id : profile.type) = value;
      (void)sd_bus_message_exit_container(m);
    } else if (name == "permissions" && sd_bus_message_enter_container(m, 'v', "as") > 0) {
      if (sd_bus_message_enter_container(m, 'a', "s") > 0) {
        while (sd_bus_message_read(m, "s", &value) > 0) profile.permissions.emplace_back(value);
        (void)sd_bus_message_exit_container(m);
      }
      (void)sd_bus_message_exit_container(m);
    } else {
      (void)sd_bus_message_skip(m, "v");
    }
    (void)sd_bus_message_exit_container(m);
  }
  (void)sd_bus_message_exit_container(m);
}

std::optional<Profile> read_profile(sd_bus* bus, const std::string& path) {
  Error error;
  sd_bus_message* reply = nullptr;
  if (sd_bus_call_method(bus, kService, path.c_str(), kConnection, "GetSettings", &error.e, &reply, "") < 0)
    return std::nullopt;
  Message owned(reply);
  Profile profile{path, {}, {}, {}};
  if (sd_bus_message_enter_container(reply, 'a', "{sa{sv}}") < 0) return std::nullopt;
  while (sd_bus_message_enter_container(reply, 'e', "sa{sv}") > 0) {
    const char* group = nullptr;
    if (sd_bus_message_read(reply, "s", &group) < 0) break;
    if (std::string(group) == "connection")
      read_connection_group(reply, profile);
    else
      (void)sd_bus_message_skip(reply, "a{sv}");
    (void)sd_bus_message_exit_container(reply);
  }
  return profile;
}

std::string user_name() {
  const passwd* pw = ::getpwuid(::getuid());
  return pw && pw->pw_name ? pw->pw_name : "";
}

// A permission entry is "user:NAME" or "user:NAME:reserved"; an empty list
// lets every user activate the profile.
bool may_activate(const Profile& profile, const std::string& user) {
  if (profile.permissions.empty()) return true;
  const std::string prefix = "user:" + user;
  for (const std::string& p : profile.permissions)
    if (p == prefix || p.starts_with(prefix + ":")) return true;
  return false;
}

std::vector<Profile> activatable_profiles(sd_bus* bus) {
  std::vector<Profile> profiles;
  Error error;
  sd_bus_message* reply = nullptr;
  if (sd_bus_call_method(bus, kService, kSettingsPath, kSettings, "ListConnections", &error.e, &reply, "") < 0)
    return profiles;
  Message owned(reply);
  const std::string user = user_name();
  for (const std::string& path : read_paths(reply)) {
    std::optional<Profile> profile = read_profile(bus, path);
    // The loopback profile NetworkManager lists (1.42 and later) is nothing to dial.
    if (profile && !profile->id.empty() && profile->type != "loopback" && may_activate(*profile, user))
      profiles.push_back(std::move(*profile));
  }
  return profiles;
}

DialResult failure(int code, int text_id) { return {code, res::text(text_id)}; }

std::string reason_text(uint32_t reason) {
  return res::text(sid::kUnknownReason + static_cast<int>(reason <= kLastReason ? reason : 0));
}

// The state of one active connection as its StateChanged signals report it.
struct Watch {
  std::string path;
  std::optional<uint32_t> state;
  uint32_t reason = 0;
};

int on_state_changed(sd_bus_message* m, void* data, sd_bus_error*) {
  auto* watch = static_cast<Watch*>(data);
  const char* path = sd_bus_message_get_path(m);
  uint32_t state = 0;
  uint32_t reason = 0;
  if (!path || watch->path != path || sd_bus_message_read(m, "uu", &state, &reason) < 0) return 0;
  watch->state = state;
  watch->reason = reason;
  return 0;
}

}  // namespace

NetworkManagerDialUp::NetworkManagerDialUp(std::string bus_address, std::chrono::milliseconds activation_limit)
    : bus_address_(std::move(bus_address)), activation_limit_(activation_limit) {}

std::vector<std::string> NetworkManagerDialUp::list_entries() {
  std::vector<std::string> names;
  Bus bus = open_bus(bus_address_);
  if (!bus) return names;
  for (const Profile& p : activatable_profiles(bus.get())) names.push_back(utf8_to_gb(p.id));
  return names;
}

DialResult NetworkManagerDialUp::dial(const DialRequest& request) {
  Bus bus = open_bus(bus_address_);
  if (!bus) return failure(kBusFailed, sid::kNoBus);
  const std::optional<bool> up = online(bus.get());
  if (!up) return failure(kBusFailed, sid::kNoBus);
  if (*up) return {};

  const std::string wanted = gb_to_utf8(request.entry);
  std::string profile_path;
  for (const Profile& p : activatable_profiles(bus.get()))
    if (p.id == wanted) profile_path = p.path;
  if (profile_path.empty()) return failure(kNotFound, sid::kNoSuchEntry);

  // Subscribed before the activation, so no state change can slip past.
  Watch watch;
  sd_bus_slot* slot = nullptr;
  if (sd_bus_match_signal(bus.get(), &slot, kService, nullptr, kActive, "StateChanged", on_state_changed, &watch) < 0)
    return failure(kBusFailed, sid::kNoBus);
  std::unique_ptr<sd_bus_slot, sd_bus_slot* (*)(sd_bus_slot*)> slot_owner(slot, sd_bus_slot_unref);

  Error error;
  sd_bus_message* reply = nullptr;
  if (sd_bus_call_method(bus.get(), kService, kManagerPath, kManager, "ActivateConnection", &error.e, &reply, "ooo",
                         profile_path.c_str(), "/", "/") < 0)
    return {kBusFailed, error.text()};
  Message owned(reply);
  const char* active_path = nullptr;
  if (sd_bus_message_read(reply, "o", &active_path) < 0) return failure(kBusFailed, sid::kNoBus);
  watch.path = active_path;
  // From here on the connection is this program's: hang-up takes it down,
  // and so does a failure below, which would leave it activating.
  remember(watch.path);

  // Signals that came with the reply first; then the state as it is now, in
  // case it settled before the signal match saw anything.
  while (sd_bus_process(bus.get(), nullptr) > 0) {
  }
  uint32_t state = 0;
  Error state_error;
  if (!watch.state && sd_bus_get_property_trivial(bus.get(), kService, watch.path.c_str(), kActive, "State",
                                                  &state_error.e, 'u', &state) >= 0)
    watch.state = state;

  const auto deadline = std::chrono::steady_clock::now() + activation_limit_;
  const auto give_up = [&](int code, int text_id) {
    deactivate(bus.get(), watch.path);
    forget(watch.path);
    return failure(code, text_id);
  };
  while (watch.state != kActivated && watch.state != kDeactivated) {
    int processed = sd_bus_process(bus.get(), nullptr);
    if (processed < 0) return give_up(kBusFailed, sid::kNoBus);
    if (processed > 0) continue;
    const auto left = deadline - std::chrono::steady_clock::now();
    if (left <= std::chrono::steady_clock::duration::zero()) return give_up(kTimedOut, sid::kActivationTimedOut);
    const auto usec = std::chrono::duration_cast<std::chrono::microseconds>(left).count();
    if (sd_bus_wait(bus.get(), static_cast<uint64_t>(usec)) < 0) return give_up(kBusFailed, sid::kNoBus);
  }
  if (watch.state == kActivated) return {};
  forget(watch.path);
  return {static_cast<int>(watch.reason ? watch.reason : 1), reason_text(watch.reason)};
}

void NetworkManagerDialUp::hang_up() {
  std::string path;
  {
    std::lock_guard lock(mutex_);
    path.swap(activated_);
  }
  if (path.empty()) return;
  Bus bus = open_bus(bus_address_);
  if (bus) deactivate(bus.get(), path);
}

void NetworkManagerDialUp::remember(const std::string& active_path) {
  std::lock_guard lock(mutex_);
  activated_ = active_path;
}

void NetworkManagerDialUp::forget(const std::string& active_path) {
  std::lock_guard lock(mutex_);
  if (activated_ == active_path) activated_.clear();
}

}  // namespace pw
