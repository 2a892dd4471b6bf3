// A composed message with any text and any attachment bytes reads back with
// the same text and the same attachment.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "base/text_lines.h"
#include "mail/encoded_words.h"
#include "mail/header_field.h"
#include "mail/message_composer.h"
#include "mail/mime_message.h"

namespace {

struct ScratchDir {
  std::filesystem::path root;
  ScratchDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "pw-fuzz-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) abort();
    root = tmpl;
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
  }
};

std::filesystem::path attachment_file() {
  static const ScratchDir dir;
  return dir.root / "data.bin";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string in(reinterpret_cast<const char*>(data), size);
  size_t cut = in.size() / 2;
  std::string text = in.substr(0, cut);
  std::string attachment = in.substr(cut);
  {
    std::ofstream out(attachment_file(), std::ios::binary | std::ios::trunc);
    out.write(attachment.data(), static_cast<std::streamsize>(attachment.size()));
  }

  // Any non-ASCII subject goes out as encoded words and reads back whole.
  std::string subject = pw::single_line(text.substr(0, 200));
  pw::MessageComposer composer;
  composer.begin("a@example.com", "b@example.net", subject, 0);
  composer.add_text(text);
  if (!composer.add_attachment(attachment_file())) abort();
  std::string message = composer.finish();
  if (!pw::is_ascii(subject) && pw::header_field(message, "subject:") != subject) abort();
  pw::MimeMessage m(std::move(message));

  // Text and attachment travel as Base64, so every byte comes back.
  if (m.text_body() != text) abort();
  if (m.attachment_count() != 1 || m.attachment_name(0) != "data.bin") abort();
  if (m.attachment_data(0) != attachment) abort();
  return 0;
}
