// Any bytes as a received mail: parsing and every question asked of it, both
// on MimeMessage directly and through the cached getters of MailReader.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "mail/mail_reader.h"
#include "mail/mime_message.h"

namespace {

// One scratch MailTemp for the whole run, inside a directory of its own so
// that anything written beside it is seen; emptied after every input.
struct ScratchDir {
  std::filesystem::path root;
  std::filesystem::path mail_temp;
  ScratchDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "pw-fuzz-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) abort();
    root = tmpl;
    mail_temp = root / "MailTemp";
    std::filesystem::create_directory(mail_temp);
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
  }
};

const std::filesystem::path& resource_dir() {
  static const ScratchDir dir;
  return dir.mail_temp;
}

void empty_resource_dir() {
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(resource_dir().parent_path(), ec)) {
    if (entry.path() != resource_dir()) abort();  // a file escaped its directory
  }
  for (const auto& entry : std::filesystem::directory_iterator(resource_dir(), ec)) {
    std::filesystem::remove_all(entry.path(), ec);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);

  pw::MimeMessage m(text);
  (void)m.text_body();
  (void)m.html_body();
  (void)m.html_body(resource_dir());
  (void)m.has_html();
  bool has = m.has_attachment();
  int count = m.attachment_count();
  if (!has && count != 0) abort();
  for (int i = -1; i <= count; ++i) {
    std::string name = m.attachment_name(i);
    if (name.find('/') != std::string::npos || name == "." || name == "..") abort();
    auto bytes = m.attachment_data(i);
    if ((i >= 0 && i < count) != bytes.has_value()) abort();
  }

  pw::MailSummary summary;
  summary.mail_text = text;
  summary.full_text = true;
  pw::MailReader reader(std::move(summary));
  (void)reader.sender();
  (void)reader.recipient();
  (void)reader.copy();
  (void)reader.recipient_and_copy();
  (void)reader.subject();
  (void)reader.date();
  (void)reader.text_body();
  (void)reader.html_body(resource_dir());
  (void)reader.has_attachment();
  (void)reader.message().attachment_count();

  empty_resource_dir();
  return 0;
}
