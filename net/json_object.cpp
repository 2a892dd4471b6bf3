#include "net/json_object.h"

#include <cstdint>

namespace pw {
namespace {

class Parser {
 public:
  explicit Parser(std::string_view text) : s_(text) {}

  std::optional<JsonObject> object() {
    JsonObject out;
    blanks();
    if (!take('{')) return std::nullopt;
    blanks();
    if (take('}')) return finish(std::move(out));
    for (;;) {
      std::string name;
      blanks();
      if (!string(name)) return std::nullopt;
      blanks();
      if (!take(':')) return std::nullopt;
      blanks();
      std::string value;
      if (!this->value(value, 0)) return std::nullopt;
      out.insert_or_assign(std::move(name), std::move(value));
      blanks();
      if (take('}')) return finish(std::move(out));
      if (!take(',')) return std::nullopt;
    }
  }

 private:
  std::optional<JsonObject> finish(JsonObject out) {
    blanks();
    if (pos_ != s_.size()) return std::nullopt;
    return out;
  }
  bool take(char c) {
    if (pos_ < s_.size() && s_[pos_] == c) return ++pos_, true;
    return false;
  }
  void blanks() {
    while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\r' || s_[pos_] == '\n')) ++pos_;
  }
  bool literal(std::string_view word) {
    if (s_.substr(pos_, word.size()) != word) return false;
    pos_ += word.size();
    return true;
  }

  static void put_utf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }

  bool hex4(uint32_t& v) {
    if (s_.size() - pos_ < 4) return false;
    v = 0;
    for (int i = 0; i < 4; ++i) {
      char c = s_[pos_++];
      v <<= 4;
      if (c >= '0' && c <= '9') v |= static_cast<uint32_t>(c - '0');
      else if (c >= 'a' && c <= 'f') v |= static_cast<uint32_t>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F') v |= static_cast<uint32_t>(c - 'A' + 10);
      else return false;
    }
    return true;
  }

  bool string(std::string& out) {
    if (!take('"')) return false;
    while (pos_ < s_.size()) {
      char c = s_[pos_++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return false;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (pos_ >= s_.size()) return false;
      switch (char e = s_[pos_++]) {
        case '"': case '\\': case '/': out += e; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
          uint32_t c1 = 0;
          if (!hex4(c1)) return false;
          if (c1 >= 0xD800 && c1 < 0xDC00 && s_.substr(pos_, 2) == "\\u") {
            pos_ += 2;
            uint32_t c2 = 0;
            if (!hex4(c2) || c2 < 0xDC00 || c2 > 0xDFFF) return false;
            c1 = 0x10000 + ((c1 - 0xD800) << 10) + (c2 - 0xDC00);
          } else if (c1 >= 0xD800 && c1 < 0xE000) {
            c1 = 0xFFFD;  // a lone surrogate
          }
          put_utf8(out, c1);
          break;
        }
        default:
          return false;
      }
    }
    return false;
  }

  // A nested object or array, passed over; `depth` bounds hostile nesting.
  bool skip_container(char open, char close, int depth) {
    if (!take(open)) return false;
    blanks();
    if (take(close)) return true;
    for (;;) {
      blanks();
      std::string ignored;
      if (open == '{') {
        if (!string(ignored)) return false;
        blanks();
        if (!take(':')) return false;
        blanks();
      }
      if (!value(ignored, depth + 1)) return false;
      blanks();
      if (take(close)) return true;
      if (!take(',')) return false;
    }
  }

  bool value(std::string& out, int depth) {
    if (depth > 32 || pos_ >= s_.size()) return false;
    char c = s_[pos_];
    if (c == '"') return string(out);
    if (c == '{') return skip_container('{', '}', depth);
    if (c == '[') return skip_container('[', ']', depth);
    if (literal("true")) return out = "true", true;
    if (literal("false")) return out = "false", true;
    if (literal("null")) return out.clear(), true;
    size_t begin = pos_;
    while (pos_ < s_.size() && (std::string_view("+-.eE").find(s_[pos_]) != std::string_view::npos ||
                                (s_[pos_] >= '0' && s_[pos_] <= '9')))
      ++pos_;
    if (pos_ == begin) return false;
    out.assign(s_.substr(begin, pos_ - begin));
    return true;
  }

  std::string_view s_;
  size_t pos_ = 0;
};

}  // namespace

std::optional<JsonObject> parse_json_object(std::string_view text) { return Parser(text).object(); }

std::string json_member(const JsonObject& object, std::string_view name) {
  auto it = object.find(name);
  return it == object.end() ? std::string() : it->second;
}

}  // namespace pw
