#pragma once
// The file "OAuth" of the data directory (mode 0600): what signing in with
// OAuth 2.0 needs beside the account record, which keeps only the method.
// Per provider the client identifier the user registered (settings); per
// mailbox the endpoints of a custom provider, the refresh token, the current
// access token with its expiry, the address signed in as, and whether the
// token endpoint refused the refresh (the mailbox needs a new sign-in).
//
// The window and a `--check-once` run may share the data directory, and a
// refresh may rotate the refresh token: every change is a read, change and
// atomic write of the whole file under an exclusive lock, so neither
// overwrites what the other just stored. Refreshes take a second lock for
// the whole exchange with the token endpoint, so that two never spend the
// same refresh token, while the file's lock is held only to read and write.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "base/program_dir.h"
#include "stores/mailbox_record.h"

namespace pw {

// Where a provider signs in and which application asks.
struct OAuthClient {
  std::string authorize_url;
  std::string token_url;
  std::string scope;  // space-separated
  std::string client_id;
  std::string client_secret;  // empty for a public client

  friend bool operator==(const OAuthClient&, const OAuthClient&) = default;
};

struct OAuthMailbox {
  OAuthClient custom;          // the endpoints of a custom provider
  std::string refresh_token;
  std::string access_token;
  int64_t expires_at = 0;      // seconds since the epoch; 0 unknown
  std::string signed_in_as;    // the address the provider named, or the login name
  std::string refused;         // non-empty: the refresh was refused for this reason (GB18030)

  friend bool operator==(const OAuthMailbox&, const OAuthMailbox&) = default;
};

struct OAuthFile {
  // "microsoft", "google": the user's own client identifier and secret.
  std::map<std::string, OAuthClient, std::less<>> clients;
  // By address in lower case.
  std::map<std::string, OAuthMailbox, std::less<>> mailboxes;

  [[nodiscard]] std::string encode() const;
  [[nodiscard]] static OAuthFile decode(std::string_view text);
  [[nodiscard]] static std::string key(std::string_view address);
  [[nodiscard]] const OAuthMailbox* mailbox(std::string_view address) const;

  friend bool operator==(const OAuthFile&, const OAuthFile&) = default;
};

class OAuthStore {
 public:
  static constexpr const char* kFileName = "OAuth";

  explicit OAuthStore(const ProgramDir& dir);

  // An exclusive lock on the file for as long as it lives: a read, change
  // and save that must not interleave with another process's.
  class Lock {
   public:
    explicit Lock(const std::filesystem::path& path);
    ~Lock();
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

   private:
    int fd_;
  };
  [[nodiscard]] Lock lock() const { return Lock(lock_path_); }
  // Held across a refresh at the token endpoint, by one thread or process
  // at a time; the file's lock is not held meanwhile.
  [[nodiscard]] Lock refresh_lock() const { return Lock(refresh_lock_path_); }

  // The file as it is now; empty when missing or unreadable.
  [[nodiscard]] OAuthFile load() const;
  // Writes `file` atomically, mode 0600; the caller holds the lock.
  [[nodiscard]] bool save(const OAuthFile& file) const;
  // Reads the file, lets `change` edit it and writes it back atomically,
  // all under the lock. False when it could not be written (the old file
  // stays).
  [[nodiscard]] bool update(const std::function<void(OAuthFile&)>& change) const;
  [[nodiscard]] const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
  std::filesystem::path lock_path_;
  std::filesystem::path refresh_lock_path_;
};

// The endpoints, scopes and client of an account's sign-in method: the
// presets for Microsoft and Google with the user's client from `file` (or the
// packager's defaults), the account's own for a custom provider.
[[nodiscard]] OAuthClient oauth_client(MailboxRecord::SignIn method, const OAuthFile& file, std::string_view address);
// The provider's key in OAuthFile::clients ("microsoft", "google"), empty
// for the others.
[[nodiscard]] std::string_view provider_key(MailboxRecord::SignIn method);
// The packager's default client of a preset provider (empty when the build
// set none).
[[nodiscard]] OAuthClient default_client(MailboxRecord::SignIn method);

}  // namespace pw
