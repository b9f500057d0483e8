#include "core/json_text.h"

#include <cctype>
#include <cstdint>
#include <cstdio>

namespace brim {

namespace {
// Length of the valid UTF-8 sequence at p (0: not one).
size_t Utf8Length(const unsigned char* p, size_t left) {
  const unsigned char c = p[0];
  size_t n;
  uint32_t min;
  if (c >= 0xC2 && c <= 0xDF) n = 2, min = 0x80;
  else if ((c & 0xF0) == 0xE0) n = 3, min = 0x800;
  else if (c >= 0xF0 && c <= 0xF4) n = 4, min = 0x10000;
  else return 0;
  if (left < n) return 0;
  uint32_t v = c & (0x7F >> n);
  for (size_t i = 1; i < n; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
    v = v << 6 | (p[i] & 0x3F);
  }
  if (v < min || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return 0;
  return n;
}

void AppendUtf8(uint32_t v, std::string* out) {
  if (v < 0x80) {
    *out += static_cast<char>(v);
  } else if (v < 0x800) {
    *out += static_cast<char>(0xC0 | v >> 6);
    *out += static_cast<char>(0x80 | (v & 0x3F));
  } else if (v < 0x10000) {
    *out += static_cast<char>(0xE0 | v >> 12);
    *out += static_cast<char>(0x80 | (v >> 6 & 0x3F));
    *out += static_cast<char>(0x80 | (v & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | v >> 18);
    *out += static_cast<char>(0x80 | (v >> 12 & 0x3F));
    *out += static_cast<char>(0x80 | (v >> 6 & 0x3F));
    *out += static_cast<char>(0x80 | (v & 0x3F));
  }
}

class Reader {
 public:
  explicit Reader(const std::string& t) : t_(t) {}
  void Space() {
    while (i_ < t_.size() && (t_[i_] == ' ' || t_[i_] == '\t' || t_[i_] == '\n' || t_[i_] == '\r')) ++i_;
  }
  bool Eat(char c) {
    Space();
    if (i_ < t_.size() && t_[i_] == c) return ++i_, true;
    return false;
  }
  bool AtEnd() {
    Space();
    return i_ == t_.size();
  }
  bool Hex4(uint32_t* v) {
    if (i_ + 4 > t_.size()) return false;
    *v = 0;
    for (int k = 0; k < 4; ++k) {
      const char c = t_[i_++];
      const int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
      if (d < 0) return false;
      *v = *v << 4 | static_cast<uint32_t>(d);
    }
    return true;
  }
  bool String(std::string* out) {
    if (!Eat('"')) return false;
    while (i_ < t_.size() && t_[i_] != '"') {
      const unsigned char c = static_cast<unsigned char>(t_[i_]);
      if (c < 0x20) return false;
      if (c != '\\') {
        *out += static_cast<char>(c);
        ++i_;
        continue;
      }
      if (++i_ >= t_.size()) return false;
      const char e = t_[i_++];
      switch (e) {
        case '"': case '\\': case '/': *out += e; break;
        case 'b': *out += '\b'; break;
        case 'f': *out += '\f'; break;
        case 'n': *out += '\n'; break;
        case 'r': *out += '\r'; break;
        case 't': *out += '\t'; break;
        case 'u': {
          uint32_t v;
          if (!Hex4(&v)) return false;
          if (v >= 0xDC80 && v <= 0xDCFF) {
            *out += static_cast<char>(v & 0xFF);  // a byte kept as it was
          } else if (v >= 0xD800 && v <= 0xDBFF) {
            uint32_t low;
            if (!Eat('\\') || i_ >= t_.size() || t_[i_++] != 'u' || !Hex4(&low) || low < 0xDC00 ||
                low > 0xDFFF)
              return false;
            AppendUtf8(0x10000 + ((v - 0xD800) << 10) + (low - 0xDC00), out);
          } else if (v >= 0xDC00 && v <= 0xDFFF) {
            return false;
          } else {
            AppendUtf8(v, out);
          }
          break;
        }
        default: return false;
      }
    }
    return i_ < t_.size() && t_[i_++] == '"';
  }
  bool Scalar(std::string* out) {
    Space();
    const size_t start = i_;
    while (i_ < t_.size() && (std::isalnum(static_cast<unsigned char>(t_[i_])) || t_[i_] == '-' ||
                              t_[i_] == '+' || t_[i_] == '.'))
      ++i_;
    *out = t_.substr(start, i_ - start);
    return i_ > start;
  }
  bool Value(std::string* out) {
    Space();
    if (i_ < t_.size() && t_[i_] == '"') return String(out);
    return Scalar(out);
  }
  // Skips any value, nested ones included.
  bool Skip() {
    Space();
    if (i_ >= t_.size()) return false;
    const char c = t_[i_];
    if (c == '{' || c == '[') {
      const char close = c == '{' ? '}' : ']';
      ++i_;
      if (Eat(close)) return true;
      do {
        std::string key;
        if (c == '{' && (!String(&key) || !Eat(':'))) return false;
        if (!Skip()) return false;
      } while (Eat(','));
      return Eat(close);
    }
    std::string ignored;
    return Value(&ignored);
  }

 private:
  const std::string& t_;
  size_t i_ = 0;
};
}  // namespace

bool JsonTopLevelValue(const std::string& line, const std::string& key, std::string* value) {
  Reader r(line);
  if (!r.Eat('{') || r.Eat('}')) return false;
  do {
    std::string name;
    if (!r.String(&name) || !r.Eat(':')) return false;
    Reader probe = r;
    std::string text;
    if (name == key && probe.Value(&text)) {
      *value = text;
      return true;
    }
    if (!r.Skip()) return false;
  } while (r.Eat(','));
  return false;
}

std::string JsonQuoted(const std::string& text) {
  std::string out = "\"";
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text.data());
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = p[i];
    if (c >= 0x80) {
      const size_t n = Utf8Length(p + i, text.size() - i);
      if (n) {
        out.append(text, i, n);
        i += n;
      } else {
        char esc[8];
        std::snprintf(esc, sizeof esc, "\\udc%02x", c);
        out += esc;
        ++i;
      }
      continue;
    }
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char esc[8];
          std::snprintf(esc, sizeof esc, "\\u%04x", c);
          out += esc;
        } else {
          out += static_cast<char>(c);
        }
    }
    ++i;
  }
  return out + "\"";
}

bool ParseFlatJsonObject(const std::string& text, std::map<std::string, std::string>* values) {
  values->clear();
  Reader r(text);
  if (!r.Eat('{')) return false;
  if (r.Eat('}')) return r.AtEnd();
  do {
    std::string key, value;
    if (!r.String(&key) || !r.Eat(':') || !r.Value(&value)) return false;
    (*values)[key] = value;
  } while (r.Eat(','));
  return r.Eat('}') && r.AtEnd();
}

}  // namespace brim
