#include "mail/mime_message.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <span>

#include "base/code_page.h"
#include "base/safe_name.h"
#include "mail/base64.h"
#include "mail/encoded_words.h"
#include "mail/mime_parameter.h"
#include "mail/quoted_printable.h"

namespace pw {
namespace {

using Part = MimeMessage::Part;
constexpr size_t npos = std::string_view::npos;

// Longest boundary accepted; RFC 2046 allows 70 characters. Anything far
// longer is no boundary, and searching for it would cost time quadratic in
// the mail size.
constexpr size_t kMaxBoundary = 256;
// Longest Content-ID or Content-Location value looked for in the HTML.
constexpr size_t kMaxReference = 1000;
// Tries for a free resource file name before the resource is skipped.
constexpr int kMaxNameTries = 9999;

char fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

struct Match {
  size_t pos = npos;  // where the match starts
  size_t end = npos;  // just after its last character
  explicit operator bool() const { return pos != npos; }
};

// Finds `key` at or after `start`: ASCII letters compared case-insensitively,
// spaces (0x20 only) skipped on both sides, no line-start test.
Match find_key(std::string_view text, std::string_view key, size_t start = 0) {
  size_t k0 = key.find_first_not_of(' ');
  if (k0 == npos) return {};
  const char first = fold(key[k0]);
  const bool letter = first >= 'a' && first <= 'z';
  const char* base = text.data();
  for (size_t i = start; i < text.size(); ++i) {
    if (!letter) {
      const void* hit = std::memchr(base + i, first, text.size() - i);
      if (!hit) return {};
      i = static_cast<size_t>(static_cast<const char*>(hit) - base);
    } else if (fold(text[i]) != first) {
      continue;
    }
    size_t t = i + 1;
    size_t k = k0 + 1;
    for (;;) {
      while (k < key.size() && key[k] == ' ') ++k;
      if (k == key.size()) return {i, t};
      while (t < text.size() && text[t] == ' ') ++t;
      if (t == text.size() || fold(text[t]) != fold(key[k])) break;
      ++t;
      ++k;
    }
  }
  return {};
}

bool contains_key(std::string_view text, std::string_view key) { return static_cast<bool>(find_key(text, key)); }

// The first match of `key` that starts a line of `header`: a Subject that
// mentions "Content-Type:" names no type.
Match find_header_line(std::string_view header, std::string_view key) {
  Match m = find_key(header, key);
  while (m && m.pos > 0 && header[m.pos - 1] != '\n') m = find_key(header, key, m.pos + 1);
  return m;
}

bool equals_ci(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

bool contains_ci(std::string_view text, std::string_view word) {
  if (word.size() > text.size()) return false;
  for (size_t i = 0; i + word.size() <= text.size(); ++i) {
    if (equals_ci(text.substr(i, word.size()), word)) return true;
  }
  return false;
}

// End of the line that holds `pos`: the LF, or the CR before it, or the end.
size_t line_end(std::string_view text, size_t pos) {
  size_t lf = text.find('\n', pos);
  if (lf == npos) return text.size();
  return (lf > pos && text[lf - 1] == '\r') ? lf - 1 : lf;
}

// Just after the LF that ends the line holding `pos`, or the end.
size_t after_line(std::string_view text, size_t pos) {
  size_t lf = text.find('\n', pos);
  return lf == npos ? text.size() : lf + 1;
}

std::string_view rest_of_line(std::string_view text, size_t pos) {
  if (pos >= text.size()) return {};
  return text.substr(pos, line_end(text, pos) - pos);
}

std::string without(std::string_view text, std::string_view drop) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (drop.find(c) == npos) out.push_back(c);
  }
  return out;
}

std::string_view trim(std::string_view s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == npos) return {};
  size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

std::string_view trim_trailing_line_ends(std::string_view s) {
  while (!s.empty() && (s.back() == '\r' || s.back() == '\n')) s.remove_suffix(1);
  return s;
}

// The blank line that ends a header block: the first "\r\n\r\n", failing that
// the first "\n\n", searched from `from`.
struct BlankLine {
  size_t pos = npos;
  size_t len = 0;
};
BlankLine find_blank_line(std::string_view text, size_t from) {
  size_t p = text.find("\r\n\r\n", from);
  if (p != npos) return {p, 4};
  p = text.find("\n\n", from);
  if (p != npos) return {p, 2};
  return {};
}

// The value after `key` in `headers`, to the end of its line, trimmed.
std::string_view header_value(std::string_view headers, std::string_view key) {
  Match m = find_key(headers, key);
  return m ? trim(rest_of_line(headers, m.end)) : std::string_view{};
}

std::string decode(const Part& part, std::string_view bytes) {
  if (equals_ci(part.transfer_encoding, "base64")) return base64_decode(bytes);
  if (equals_ci(part.transfer_encoding, "quoted-printable")) return quoted_printable_decode(bytes);
  return std::string(bytes);
}

std::string decode_body(const Part& part) { return decode(part, part.body); }

// Text in a charset outside the GB family (and its ASCII subset) is
// converted to GB18030 when iconv knows it and the bytes are valid in it;
// otherwise the bytes stay as they are.
std::string to_system_charset(std::string text, const Part& part) {
  Match m = find_key(part.parameters, "charset=");
  if (!m) return text;
  std::string charset = without(rest_of_line(part.parameters, m.end), "\"'\t");
  return to_system_code_page(std::move(text), charset.substr(0, charset.find(';')));
}

bool is_type(const Part& p, std::string_view type, std::string_view subtype) {
  return equals_ci(p.type, type) && equals_ci(p.subtype, subtype);
}

// The first part of the given type on the walk that goes from a multipart to
// its first child and from any other part to its next sibling, never back up.
const Part* first_of_type(const Part* root, std::string_view type, std::string_view subtype) {
  if (!root) return nullptr;
  std::span<const Part> level(root, 1);
  size_t i = 0;
  while (i < level.size()) {
    const Part& p = level[i];
    if (equals_ci(p.type, "multipart")) {
      level = p.children;
      i = 0;
    } else if (is_type(p, type, subtype)) {
      return &p;
    } else {
      ++i;
    }
  }
  return nullptr;
}

// The multipart whose children hold the HTML's embedded resources: on the
// same walk, the last multipart met before the HTML part that is not an
// alternative, else the last multipart met.
const Part* resource_container(const Part* root) {
  if (!root) return nullptr;
  const Part* any = nullptr;
  const Part* preferred = nullptr;
  std::span<const Part> level(root, 1);
  size_t i = 0;
  while (i < level.size()) {
    const Part& p = level[i];
    if (equals_ci(p.type, "multipart")) {
      any = &p;
      if (p.subtype != "alternative") preferred = &p;
      level = p.children;
      i = 0;
    } else if (is_type(p, "text", "html")) {
      break;
    } else {
      ++i;
    }
  }
  return preferred ? preferred : any;
}

// ---- parsing ---------------------------------------------------------------

// An entity split at the empty line that ends its header block.
struct Entity {
  std::string_view header;   // with the line end of its last line
  std::string_view body;     // trailing CR and LF removed; empty without an empty line
  std::string_view content;  // the body as it stands
};

Entity split_entity(std::string_view text) {
  for (std::string_view empty_line : {"\r\n", "\n"}) {
    if (text.starts_with(empty_line)) {
      std::string_view content = text.substr(empty_line.size());
      return {{}, trim_trailing_line_ends(content), content};
    }
  }
  BlankLine blank = find_blank_line(text, 0);
  if (blank.pos == npos) return {text, {}, {}};
  std::string_view content = text.substr(blank.pos + blank.len);
  return {text.substr(0, blank.pos + blank.len / 2), trim_trailing_line_ends(content), content};
}

// The text of a part that starts after a delimiter and ends before the next
// one: the rest of the delimiter line is not part of it, nor the line end
// right before the next delimiter.
std::string_view part_text(std::string_view text, size_t delimiter_end, size_t end) {
  size_t start = std::min(after_line(text, delimiter_end), end);
  std::string_view part = text.substr(start, end - start);
  if (end < text.size() && part.ends_with('\n')) part.remove_suffix(part.ends_with("\r\n") ? 2 : 1);
  return part;
}

class Parser {
 public:
  explicit Parser(bool& has_html) : has_html_(has_html) {}

  // One entity; nullopt when it cannot be read at all. Its headers are read
  // from its own header block only: a body that quotes a header line does
  // not change what the entity is.
  std::optional<Part> entity(std::string_view text, int depth) {
    Entity e = split_entity(text);
    Match ct = find_header_line(e.header, "Content-Type:");
    if (!ct) return single(e, ct, npos);  // RFC 2045 5.2: text/plain
    size_t type_start = e.header.find_first_not_of(' ', ct.end);
    if (type_start == npos) return std::nullopt;
    size_t slash = e.header.find('/', type_start);
    if (slash == npos) return std::nullopt;
    if (depth < MimeMessage::kMaxDepth && contains_ci(e.header.substr(type_start, slash - type_start), "multipart")) {
      return multipart(text, e, slash, depth);
    }
    return single(e, ct, slash);
  }

 private:
  std::optional<Part> multipart(std::string_view text, const Entity& e, size_t slash, int depth) {
    std::string_view header = e.header;
    Part node;
    node.type = "multipart";
    node.transfer_encoding = "7bit";
    size_t eol = line_end(header, slash);
    size_t semi = header.find(';', slash);
    size_t sub_end = std::min(semi, eol);
    node.subtype = without(header.substr(slash + 1, sub_end - slash - 1), " ");

    Match b = find_key(header, "boundary", sub_end);
    if (!b) return std::nullopt;
    size_t eq = header.find('=', b.end);
    if (eq == npos) return std::nullopt;
    std::string value = without(rest_of_line(header, eq + 1), "\" ");
    value = value.substr(0, value.find(';'));
    if (value.empty() || value.size() > kMaxBoundary) return std::nullopt;
    const std::string delimiter = "--" + value;

    Match first = find_delimiter(text, delimiter, after_line(text, eq + 1));
    if (!first) {
      // No delimiter at all: the body is the only part.
      if (e.header.size() == text.size()) return std::nullopt;
      add_child(node, text.substr(static_cast<size_t>(e.body.data() - text.data())), depth);
      return node;
    }
    size_t cursor = first.end;
    size_t found = 1;
    bool closed = false;
    while (parts_ < MimeMessage::kMaxParts) {
      Match next = find_delimiter(text, delimiter, cursor);
      if (!next) break;
      add_child(node, part_text(text, cursor, next.pos), depth);
      ++found;
      cursor = next.end;
      closed = text.substr(cursor, 2) == "--";
    }
    // After the closing delimiter comes the epilogue, which is dropped; a
    // mail cut off before its closing delimiter keeps its last part.
    if (found <= 1 || !closed) add_child(node, part_text(text, cursor, text.size()), depth);
    return node;
  }

  // A delimiter counts when a line end, a blank, a '-' or the end of the text
  // follows it.
  static Match find_delimiter(std::string_view text, std::string_view delimiter, size_t from) {
    for (;;) {
      Match m = find_key(text, delimiter, from);
      if (!m || m.end == text.size()) return m;
      char c = text[m.end];
      if (c == '\n' || c == '\r' || c == ' ' || c == '-') return m;
      from = m.pos + 1;
    }
  }

  void add_child(Part& node, std::string_view text, int depth) {
    if (parts_ >= MimeMessage::kMaxParts) return;
    ++parts_;
    if (auto child = entity(text, depth + 1)) node.children.push_back(std::move(*child));
  }

  // A single part; `ct` is its Content-Type match (none for text/plain by
  // default) and `slash` the '/' of its type.
  Part single(const Entity& e, Match ct, size_t slash) {
    std::string_view header = e.header;
    Part p;
    size_t ct_end = 0;
    if (ct) {
      p.type = without(header.substr(ct.end, slash - ct.end), " \r\n\t");
      size_t eol = line_end(header, slash);
      size_t semi = header.find(';', slash);
      size_t sub_end = std::min(semi, eol);
      p.subtype = without(header.substr(slash + 1, sub_end - slash - 1), " ");
      if (contains_ci(p.subtype, "html")) has_html_ = true;

      // Parameters run on over continuation lines, and past every line
      // holding a ',' (a list of values), but never beyond the header block.
      ct_end = after_line(header, slash);
      if (semi != npos && semi == sub_end) {
        size_t line_start = semi + 1;
        size_t lf = semi + 3 < header.size() ? header.find('\n', semi + 3) : npos;
        while (lf != npos && header.substr(line_start, lf - line_start).find(',') != npos) {
          line_start = lf + 1;
          lf = header.find('\n', line_start);
        }
        ct_end = lf == npos ? header.size() : lf + 1;
        if (ct_end > semi) p.parameters = without(header.substr(semi + 1, ct_end - semi - 1), " ");
      }
    } else {
      p.type = "text";
      p.subtype = "plain";
    }

    // Only the part's own header names its transfer encoding: a forwarded
    // mail in the body has encodings of its own.
    Match cte = find_header_line(header, "Content-Transfer-Encoding:");
    size_t cte_end = 0;
    if (cte) {
      p.transfer_encoding = trim(rest_of_line(header, cte.end));
      cte_end = after_line(header, cte.end);
    } else {
      p.transfer_encoding = "7bit";
    }

    // The header without those two headers; their ranges may overlap when
    // the parameters ran on into the next header.
    size_t cut1 = ct ? ct.pos : header.size(), end1 = ct ? ct_end : header.size();
    size_t cut2 = cte ? cte.pos : header.size(), end2 = cte ? cte_end : header.size();
    if (cut2 < cut1) {
      std::swap(cut1, cut2);
      std::swap(end1, end2);
    }
    p.other_headers.append(header.substr(0, cut1));
    if (end1 < cut2) p.other_headers.append(header.substr(end1, cut2 - end1));
    p.other_headers.append(header.substr(std::max(end1, end2)));
    p.body = e.body;
    p.content = e.content;
    return p;
  }

  bool& has_html_;
  size_t parts_ = 0;
};

// ---- attachments and resources ----------------------------------------------

// A parameter value from `pos` on: a quoted string up to its closing quote,
// else up to the next ';' or the line end.
std::string_view parameter_value(std::string_view text, size_t pos) {
  std::string_view line = rest_of_line(text, pos);
  size_t start = line.find_first_not_of(" \t");
  if (start == npos) return {};
  line.remove_prefix(start);
  if (line.front() == '"') {
    size_t close = line.find('"', 1);
    return line.substr(1, close == npos ? npos : close - 1);
  }
  return line.substr(0, line.find(';'));
}

// The value of the header field whose name ends at `from`, over its folded
// continuation lines.
std::string_view field_value(std::string_view headers, size_t from) {
  for (size_t lf = headers.find('\n', from); lf != npos; lf = headers.find('\n', lf + 1)) {
    if (lf + 1 == headers.size() || (headers[lf + 1] != ' ' && headers[lf + 1] != '\t')) {
      return headers.substr(from, lf - from);
    }
  }
  return headers.substr(from);
}

// A part saved as an attachment: one whose disposition says attachment (a
// Content-ID beside it, as webmail writes, changes nothing), an inline part
// with parameters that the HTML does not refer to by Content-ID, a message
// part (a forwarded mail, kept whole), or any other part without a
// Content-ID that names a file, unless it is the body the mail shows. Its
// name is the disposition's file name, else the Content-Type's name.
std::optional<MimeMessage::Attachment> as_attachment(const Part& part, const Part* shown_text, const Part* shown_html) {
  const bool message = equals_ci(part.type, "message");
  const bool has_id = contains_key(part.other_headers, "Content-ID:");
  Match disposition = find_key(part.other_headers, "Content-Disposition: attachment");
  if (!disposition && !has_id) disposition = find_key(part.other_headers, "Content-Disposition: inline;");
  std::optional<std::string> name;
  if (disposition) name = mime_parameter(field_value(part.other_headers, disposition.end), "filename");
  if (!name || name->empty()) name = mime_parameter(part.parameters, "name");
  if (!disposition && !message) {
    const bool shown = &part == shown_text || &part == shown_html;
    if (has_id || shown || !name || name->empty()) return std::nullopt;
  }
  std::string cleaned = without(name.value_or(""), " \";");
  return MimeMessage::Attachment{sanitise_file_name(cleaned, message ? "AttachEmail.eml" : ""), &part};
}

// Every attachment of the tree below `part`, in the order of the mail.
void collect_attachments(const Part& part, const Part* shown_text, const Part* shown_html,
                         std::vector<MimeMessage::Attachment>& out) {
  if (!equals_ci(part.type, "multipart")) {
    if (auto a = as_attachment(part, shown_text, shown_html)) out.push_back(std::move(*a));
  }
  for (const Part& child : part.children) collect_attachments(child, shown_text, shown_html, out);
}

// The file name a resource is written under, before making it unique.
std::string resource_name(const Part& child) {
  std::string value;
  size_t eq = child.parameters.find('=');
  if (eq != npos) value = parameter_value(child.parameters, eq + 1);
  if (value.empty()) {
    Match m = find_key(child.other_headers, "filename=");
    if (m) value = parameter_value(child.other_headers, m.end);
  }
  // ';' is forbidden in saved names; '#', '%' and '\'' would break the
  // reference in the HTML.
  return sanitise_file_name(without(decode_encoded_words(value), ";#%'"), "Unknow");
}

bool path_taken(const std::filesystem::path& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

// `name`, or stem + "001" + extension and so on, whichever is free in `dir`.
// `tried` counts the candidates of `name` already found taken, so that many
// parts of one name do not probe the same names again and again.
std::optional<std::string> free_name(const std::filesystem::path& dir, const std::string& name, int& tried) {
  if (tried == 0) {
    tried = 1;
    if (!path_taken(dir / name)) return name;
  }
  size_t dot = name.find('.');
  std::string stem = name.substr(0, dot);
  std::string ext = dot == npos ? std::string() : name.substr(dot);
  for (; tried <= kMaxNameTries; ++tried) {
    char counter[16];
    std::snprintf(counter, sizeof counter, "%03d", tried);
    std::string candidate = stem + counter + ext;
    if (!path_taken(dir / candidate)) {
      ++tried;
      return candidate;
    }
  }
  return std::nullopt;
}

// Characters that can continue a cid or URL: a match followed by one of
// them is a longer reference, not this one.
bool continues_reference(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
         std::string_view("@._-+$%~").find(c) != npos;
}

size_t find_reference(std::string_view html, std::string_view ref, size_t from) {
  for (;;) {
    size_t p = html.find(ref, from);
    if (p == npos || p + ref.size() == html.size() || !continues_reference(html[p + ref.size()])) return p;
    from = p + 1;
  }
}

void replace_references(std::string& html, std::string_view ref, std::string_view name) {
  std::string out;
  size_t copied = 0;
  for (size_t p = find_reference(html, ref, 0); p != npos; p = find_reference(html, ref, p + ref.size())) {
    out.append(html, copied, p - copied);
    out.append(name);
    copied = p + ref.size();
  }
  out.append(html, copied);
  html = std::move(out);
}

// Removes the first "<base" tag; false when there is none.
bool remove_base_tag(std::string& html) {
  Match start = find_key(html, "<base");
  if (!start) return false;
  size_t close = html.find('>', start.end);
  html.erase(start.pos, close == npos ? npos : close + 1 - start.pos);
  return true;
}

// Creates `path` (never replacing or following anything there) and writes
// `data`; failures are silent, the HTML then shows a missing picture.
void write_new_file(const std::filesystem::path& path, std::string_view data) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return;
  const char* p = data.data();
  size_t left = data.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    p += n;
    left -= static_cast<size_t>(n);
  }
  ::close(fd);
}

}  // namespace

void MimeMessage::parse(std::string mail_text) {
  text_ = std::make_unique<std::string>(std::move(mail_text));
  parse_text(*text_);
}

MimeMessage MimeMessage::over(std::string_view mail_text) {
  MimeMessage m;
  m.parse_text(mail_text);
  return m;
}

void MimeMessage::parse_text(std::string_view text) {
  root_.reset();
  attachments_.clear();
  has_html_ = false;
  Parser parser(has_html_);
  if (auto root = parser.entity(text, 0)) root_ = std::make_unique<Part>(std::move(*root));
  if (root_) {
    collect_attachments(*root_, first_of_type(root_.get(), "text", "plain"), first_of_type(root_.get(), "text", "html"),
                        attachments_);
  }
  has_attachment_ = !attachments_.empty();
}

std::string MimeMessage::text_body() const {
  const Part* p = first_of_type(root_.get(), "text", "plain");
  if (!p || p->body.empty()) return {};
  return to_system_charset(decode_body(*p), *p);
}

std::string MimeMessage::html_body() const {
  const Part* p = first_of_type(root_.get(), "text", "html");
  if (!p || p->body.empty()) return {};
  return to_system_charset(decode_body(*p), *p);
}

std::string MimeMessage::html_body(const std::filesystem::path& resource_dir) const {
  std::string html = html_body();
  const Part* container = resource_container(root_.get());
  if (!container || html.empty()) return html;
  std::map<std::string, int> tried;  // by name: see free_name
  int written = 0;
  for (const Part& child : container->children) {
    if (written == kMaxResources) break;
    std::string location = without(header_value(child.other_headers, "Content-Location:"), " <>");
    std::string cid = without(header_value(child.other_headers, "Content-ID:"), " <>");
    if (!cid.empty()) cid.insert(0, "cid:");
    if (cid.size() > kMaxReference) cid.clear();
    if (location.size() > kMaxReference) location.clear();
    // An empty reference would match everywhere: treat it as absent.
    std::string_view ref;
    if (!cid.empty() && find_reference(html, cid, 0) != npos) ref = cid;
    else if (!location.empty() && find_reference(html, location, 0) != npos) ref = location;
    if (ref.empty()) continue;
    const std::string wanted = resource_name(child);
    auto name = free_name(resource_dir, wanted, tried[wanted]);
    if (!name) continue;
    replace_references(html, ref, *name);
    write_new_file(resource_dir / *name, decode_body(child));
    ++written;
  }
  // A base address would turn the rewritten names elsewhere.
  if (written > 0)
    while (remove_base_tag(html)) {
    }
  return html;
}

int MimeMessage::attachment_count() const { return has_attachment_ ? static_cast<int>(attachments_.size()) : 0; }

std::string MimeMessage::attachment_name(int index) const {
  if (index < 0 || index >= attachment_count()) return {};
  return attachments_[static_cast<size_t>(index)].name;
}

std::optional<std::string> MimeMessage::attachment_data(int index) const {
  if (index < 0 || index >= attachment_count()) return std::nullopt;
  const Part& part = *attachments_[static_cast<size_t>(index)].part;
  return decode(part, part.content);
}

}  // namespace pw
