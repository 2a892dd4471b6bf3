#include "ui/mail/mail_links.h"

#include "stores/ascii_case.h"

namespace pw::ui {
namespace {

bool address_char(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
         c == '_';
}

bool url_end(unsigned char c) {
  switch (c) {
    case '"': case '(': case ')': case '<': case '>': case '[': case ']': case '{': case '}':
      return true;
    default:
      return c <= ' ' || c == 0x7f || c >= 0x80;
  }
}

// Marks the bytes that are characters of their own: a GB18030 lead byte
// takes one or three more bytes, whatever their values.
std::vector<bool> single_byte_chars(std::string_view text) {
  std::vector<bool> single(text.size(), false);
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      single[i++] = true;
      continue;
    }
    const bool four = i + 1 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '9';
    i += four ? 4 : 2;
  }
  return single;
}

size_t trim_end(std::string_view text, size_t begin, size_t end) {
  while (end > begin && (text[end - 1] == ',' || text[end - 1] == '.' || text[end - 1] == ';')) --end;
  return end;
}

size_t url_prefix(std::string_view text, size_t i) {
  for (std::string_view prefix : {std::string_view("http://"), std::string_view("ftp://")})
    if (text.size() - i >= prefix.size() && ascii_iequal(text.substr(i, prefix.size()), prefix)) return prefix.size();
  return 0;
}

}  // namespace

std::vector<MailLink> find_mail_links(std::string_view text) {
  const std::vector<bool> single = single_byte_chars(text);
  std::vector<MailLink> links;
  size_t done = 0;  // no run may start before this
  for (size_t i = 0; i < text.size(); ++i) {
    if (!single[i]) continue;
    if (size_t prefix = url_prefix(text, i); prefix != 0) {
      size_t end = i + prefix;
      while (end < text.size() && !url_end(static_cast<unsigned char>(text[end]))) ++end;
      end = trim_end(text, i + prefix, end);
      if (end > i + prefix) {
        links.push_back({i, end, false});
        done = end;
        i = end - 1;
      }
      continue;
    }
    if (text[i] != '@') continue;
    size_t begin = i;
    while (begin > done && single[begin - 1] && address_char(static_cast<unsigned char>(text[begin - 1]))) --begin;
    size_t end = i + 1;
    while (end < text.size() && single[end] && address_char(static_cast<unsigned char>(text[end]))) ++end;
    end = trim_end(text, i + 1, end);
    const std::string_view domain = text.substr(i + 1, end - i - 1);
    const size_t dot = domain.find('.', 1);
    if (begin < i && dot != std::string_view::npos && dot + 1 < domain.size()) {
      links.push_back({begin, end, true});
      done = end;
      i = end - 1;
    }
  }
  return links;
}

std::string link_target(std::string_view text, const MailLink& link) {
  std::string target(text.substr(link.begin, link.end - link.begin));
  return link.address ? "mailto:" + target : target;
}

}  // namespace pw::ui
