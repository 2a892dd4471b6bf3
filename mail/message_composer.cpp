#include "mail/message_composer.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <random>
#include <utility>
#include <vector>

#include "base/file_io.h"
#include "base/local_time.h"
#include "base/safe_name.h"
#include "base/text_lines.h"
#include "mail/address_list.h"
#include "mail/base64.h"
#include "mail/encoded_words.h"

namespace pw {
namespace {

// References keeps the first and the latest identifiers of a long thread.
constexpr size_t kMaxReferences = 20;
// An identifier longer than this is not one a mailer wrote.
constexpr size_t kMaxMessageId = 250;

std::string_view trim(std::string_view s) {
  size_t b = s.find_first_not_of(" \t\"");
  if (b == std::string_view::npos) return {};
  return s.substr(b, s.find_last_not_of(" \t\"") - b + 1);
}

// One address entry with a non-ASCII display name encoded; the address in
// angle brackets stays as it is.
std::string encode_address(std::string_view entry) {
  if (is_ascii(entry)) return std::string(entry);
  size_t lt = entry.rfind('<');
  if (lt == std::string_view::npos) return encode_header_words(trim(entry), 6);
  std::string_view name = trim(entry.substr(0, lt));
  if (name.empty()) return std::string(entry.substr(lt));
  return encode_header_words(name, 6) + " " + std::string(entry.substr(lt));
}

// An address value in normal form, entry by entry.
std::string encode_addresses(std::string_view value) {
  std::string out;
  for (;;) {
    size_t semi = value.find(';');
    out += encode_address(value.substr(0, semi));
    if (semi == std::string_view::npos) return out;
    out += ';';
    value.remove_prefix(semi + 1);
  }
}

// The host part of a new Message-ID: the sender's domain, reduced to the
// characters a dot-atom allows.
std::string id_domain(std::string_view sender) {
  std::string domain;
  if (auto d = mail_domain(sender_address(sender))) {
    for (char c : *d) {
      if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.') {
        domain.push_back(c);
      }
    }
  }
  while (!domain.empty() && domain.front() == '.') domain.erase(0, 1);
  while (!domain.empty() && domain.back() == '.') domain.pop_back();
  return domain.empty() ? "localhost" : domain;
}

// A Message-ID no other message has: time, process, a per-process counter
// and a random number drawn once.
std::string new_message_id(std::string_view sender, std::time_t now) {
  static std::atomic<unsigned> counter{0};
  static const unsigned long long salt = [] {
    std::random_device rd;
    return (static_cast<unsigned long long>(rd()) << 32) | rd();
  }();
  char local[96];
  std::snprintf(local, sizeof local, "%lld.%d.%u.%016llx", static_cast<long long>(now), static_cast<int>(getpid()),
                counter.fetch_add(1), salt);
  return "<" + std::string(local) + "@" + id_domain(sender) + ">";
}

// The "<...>" identifiers in a Message-ID or References value, in order.
std::vector<std::string_view> message_ids(std::string_view value) {
  std::vector<std::string_view> ids;
  for (size_t lt = value.find('<'); lt != std::string_view::npos; lt = value.find('<', lt + 1)) {
    size_t gt = value.find('>', lt);
    if (gt == std::string_view::npos) break;
    std::string_view id = value.substr(lt, gt - lt + 1);
    bool clean = id.size() <= kMaxMessageId && id.find_first_of(" \t\r\n<", 1) == std::string_view::npos;
    if (clean && id.size() > 2) ids.push_back(id);
  }
  return ids;
}

std::string reply_headers(const MessageComposer::Original& original) {
  std::string out;
  std::vector<std::string_view> own = message_ids(original.message_id);
  if (!own.empty()) {
    std::vector<std::string_view> refs = message_ids(original.references);
    refs.push_back(own.front());
    if (refs.size() > kMaxReferences) refs.erase(refs.begin() + 1, refs.end() - (kMaxReferences - 1));
    out += "In-Reply-To: " + std::string(own.front()) + "\r\n";
    out += "References:";
    for (size_t i = 0; i < refs.size(); ++i) out += (i ? "\r\n " : " ") + std::string(refs[i]);
    out += "\r\n";
  }
  out += "Auto-Submitted: auto-replied\r\n";
  return out;
}

// A parameter value for a quoted string: encoded words on one line.
std::string encode_parameter(std::string_view value) {
  std::string encoded = encode_header_words(value);
  std::string out;
  for (size_t i = 0; i < encoded.size(); ++i) {
    if (encoded.compare(i, 3, "\r\n ") == 0) {
      out.push_back(' ');
      i += 2;
    } else {
      out.push_back(encoded[i]);
    }
  }
  return out;
}

}  // namespace

void MessageComposer::begin(std::string_view sender, std::string_view recipient, std::string_view subject,
                            std::time_t now, const Original* original) {
  buffer_.clear();
  buffer_ += "From: " + encode_addresses(single_line(sender)) + "\r\n";
  buffer_ += "To: " + encode_addresses(single_line(recipient)) + "\r\n";
  buffer_ += "Subject: " + encode_header_words(single_line(subject), 9) + "\r\n";
  buffer_ += "Content-Type: multipart/mixed;\r\n    boundary=\"";
  buffer_ += kBoundary;
  buffer_ += "\";\r\n";
  buffer_ += "Date: " + format_mail_date(now) + "\r\n";
  buffer_ += "Mime-Version: 1.0\r\n";
  buffer_ += "Message-ID: " + new_message_id(sender, now) + "\r\n";
  if (original) buffer_ += reply_headers(*original);
  buffer_ += "\r\nThis is a multi-part message in MIME format.\r\n\r\n";
}

void MessageComposer::add_text(std::string_view body) {
  buffer_ += "--";
  buffer_ += kBoundary;
  buffer_ += "\r\nContent-Type: text/plain; charset=";
  buffer_ += is_ascii(body) ? "us-ascii" : "GB18030";
  buffer_ += "\r\nContent-Transfer-Encoding: base64\r\n\r\n";
  buffer_ += base64_encode_lines(body);
  buffer_ += "\r\n\r\n";
}

bool MessageComposer::add_attachment(const std::filesystem::path& file) {
  auto data = read_file(file);
  if (!data) return false;
  // The quoted name must stay one line and one quoted string.
  std::string name = encode_parameter(sanitise_file_name(file.filename().string(), "attachment"));
  buffer_ += "--";
  buffer_ += kBoundary;
  buffer_ += "\r\nContent-Type: application/octet-stream;\r\n";
  buffer_ += "   name=\"" + name + "\"\r\n";
  buffer_ += "Content-Transfer-Encoding: base64\r\nContent-Disposition: attachment;\r\n";
  buffer_ += "    filename=\"" + name + "\"\r\n\r\n";
  buffer_ += base64_encode_lines(*data);
  buffer_ += "\r\n\r\n";
  return true;
}

std::string MessageComposer::finish() {
  buffer_ += "--";
  buffer_ += kBoundary;
  buffer_ += "--\r\n";
  return std::exchange(buffer_, std::string());
}

}  // namespace pw
