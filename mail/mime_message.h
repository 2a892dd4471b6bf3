#pragma once
// A received mail read as a tree of MIME parts, and the questions the rest of
// the system asks of it: plain-text body, HTML body (with embedded pictures
// written out beside it), attachments. Reading is tolerant: header names are
// found anywhere in a part's header block, a part without Content-Type is
// text/plain, malformed parts are dropped or left empty, and a mail that
// cannot be read at all gives empty answers. Nothing is reported.
#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pw {

class MimeMessage {
 public:
  // One MIME entity. `body` points into the mail text the message owns.
  struct Part {
    std::string type;               // before '/', e.g. "text", "multipart"; empty for an unreadable part
    std::string subtype;            // after '/', spaces removed
    std::string parameters;         // after the ';' of Content-Type, spaces removed, line ends kept
    std::string transfer_encoding;  // "7bit" when absent
    std::string other_headers;      // header text without the Content-Type and -Transfer-Encoding lines
    std::string_view body;          // trailing CR and LF removed
    // The body as sent: only the line end that belongs to the delimiter
    // after it is removed (RFC 2046 5.1.1). Attachments are saved from it.
    std::string_view content;
    std::vector<Part> children;     // multipart only, in order
  };

  struct Attachment {
    std::string name;  // a single file-name component, or empty when the mail gives none
    const Part* part = nullptr;
  };

  // Multipart nesting deeper than this is kept as an opaque body.
  static constexpr int kMaxDepth = 32;
  // Parts beyond this many in one mail are dropped.
  static constexpr size_t kMaxParts = 10000;

  MimeMessage() = default;
  explicit MimeMessage(std::string mail_text) { parse(std::move(mail_text)); }
  MimeMessage(MimeMessage&&) noexcept = default;
  MimeMessage& operator=(MimeMessage&&) noexcept = default;
  MimeMessage(const MimeMessage&) = delete;
  MimeMessage& operator=(const MimeMessage&) = delete;

  // Builds a new tree from the raw mail, discarding any earlier one.
  void parse(std::string mail_text);

  // Reads `mail_text` in place, without a copy of it: the caller keeps the
  // text alive and unchanged for as long as the message lives.
  [[nodiscard]] static MimeMessage over(std::string_view mail_text);

  // The root part, or nullptr when the mail could not be read.
  [[nodiscard]] const Part* root() const { return root_.get(); }

  // Decoded body of the first text/plain part on the first-child/sibling
  // walk; empty when there is none. Text in a charset other than the
  // GB2312/GBK/GB18030/US-ASCII family is converted to GB18030.
  [[nodiscard]] std::string text_body() const;

  // Decoded body of the first text/html part, as it stands.
  [[nodiscard]] std::string html_body() const;

  // The same HTML with its embedded resources (cid: and Content-Location
  // references) written as files into `resource_dir` and every reference
  // rewritten to the bare file name. The caller writes the HTML into the same
  // directory so the names resolve. Files that cannot be created are skipped,
  // and so is every resource after the first kMaxResources: a mail of
  // thousands of parts must not hold its viewer for seconds.
  static constexpr int kMaxResources = 256;
  [[nodiscard]] std::string html_body(const std::filesystem::path& resource_dir) const;

  [[nodiscard]] bool has_attachment() const { return has_attachment_; }
  [[nodiscard]] bool has_html() const { return has_html_; }

  // Attachments anywhere in the tree, in the order of the mail: parts whose
  // disposition says attachment, inline parts with parameters and without
  // a Content-ID, message parts (kept whole), and parts without a Content-ID
  // that name a file and are not the body shown. The has-attachment flag is
  // set exactly when there is one.
  [[nodiscard]] int attachment_count() const;
  // File name of attachment `index`; empty for an index out of range.
  [[nodiscard]] std::string attachment_name(int index) const;
  // Decoded bytes of attachment `index`; nullopt for an index out of range.
  [[nodiscard]] std::optional<std::string> attachment_data(int index) const;

 private:
  void parse_text(std::string_view text);

  // The owned mail text (null when reading a caller's text in place), on the
  // heap so bodies stay valid when the message moves.
  std::unique_ptr<std::string> text_;
  std::unique_ptr<Part> root_;
  std::vector<Attachment> attachments_;
  bool has_html_ = false;
  bool has_attachment_ = false;
};

}  // namespace pw
