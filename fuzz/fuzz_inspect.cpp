// brimlet-inspect on arbitrary files: layout detection, and text and JSON
// reports that stay well-formed whatever the image's fields hold.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "inspect/image_inspection.h"

namespace {

// A strict reader of one JSON value; true when it is well-formed.
class Json {
 public:
  explicit Json(const std::string& t) : t_(t) {}
  bool WholeValue() {
    if (!Value()) return false;
    Space();
    return i_ == t_.size();
  }

 private:
  void Space() {
    while (i_ < t_.size() && (t_[i_] == ' ' || t_[i_] == '\n' || t_[i_] == '\r' || t_[i_] == '\t')) ++i_;
  }
  bool Eat(char c) {
    Space();
    if (i_ < t_.size() && t_[i_] == c) {
      ++i_;
      return true;
    }
    return false;
  }
  bool Word(const char* w) {
    std::string s(w);
    if (t_.compare(i_, s.size(), s) != 0) return false;
    i_ += s.size();
    return true;
  }
  // One UTF-8 sequence, shortest form, no surrogates.
  bool Utf8() {
    unsigned char c = t_[i_];
    size_t n = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : 9;
    if (n == 9 || i_ + n >= t_.size()) return false;
    uint32_t cp = n == 0 ? c : c & (0x3F >> n);
    for (size_t k = 1; k <= n; ++k) {
      unsigned char d = t_[i_ + k];
      if ((d >> 6) != 2) return false;
      cp = cp << 6 | (d & 0x3F);
    }
    static const uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMin[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i_ += n + 1;
    return true;
  }
  bool String() {
    if (!Eat('"')) return false;
    while (i_ < t_.size()) {
      unsigned char c = t_[i_];
      if (c == '"') {
        ++i_;
        return true;
      }
      if (c < 0x20) return false;
      if (c == '\\') {
        if (++i_ >= t_.size()) return false;
        char e = t_[i_];
        if (e == 'u') {
          for (int k = 1; k <= 4; ++k)
            if (i_ + k >= t_.size() || !std::isxdigit(static_cast<unsigned char>(t_[i_ + k]))) return false;
          i_ += 5;
        } else if (std::string("\"\\/bfnrt").find(e) != std::string::npos) {
          ++i_;
        } else {
          return false;
        }
      } else if (!Utf8()) {
        return false;
      }
    }
    return false;
  }
  bool Number() {
    size_t start = i_;
    if (i_ < t_.size() && t_[i_] == '-') ++i_;
    if (i_ >= t_.size() || !std::isdigit(static_cast<unsigned char>(t_[i_]))) return false;
    if (t_[i_] == '0' && i_ + 1 < t_.size() && std::isdigit(static_cast<unsigned char>(t_[i_ + 1]))) return false;
    while (i_ < t_.size() && std::isdigit(static_cast<unsigned char>(t_[i_]))) ++i_;
    return i_ > start;
  }
  bool Value() {
    if (++depth_ > 64) return false;
    Space();
    bool ok;
    if (i_ >= t_.size()) {
      ok = false;
    } else if (t_[i_] == '{') {
      ++i_;
      ok = true;
      if (!Eat('}')) {
        do {
          ok = String() && Eat(':') && Value();
        } while (ok && Eat(','));
        ok = ok && Eat('}');
      }
    } else if (t_[i_] == '[') {
      ++i_;
      ok = true;
      if (!Eat(']')) {
        do {
          ok = Value();
        } while (ok && Eat(','));
        ok = ok && Eat(']');
      }
    } else if (t_[i_] == '"') {
      ok = String();
    } else {
      ok = Word("true") || Word("false") || Word("null") || Number();
    }
    --depth_;
    return ok;
  }
  const std::string& t_;
  size_t i_ = 0;
  int depth_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Byte 0: bit 7 gives the layout as --flag would (bits 0-1), else it is
  // detected; the rest is the file.
  if (size < 1) return 0;
  static const uint32_t kFlags[] = {0x00, 0x08, 0x10, 0x18};
  inspect::InspectOptions options;
  options.path = fuzz::PutFile("image.bin", data + 1, size - 1);
  options.flagGiven = (data[0] & 0x80) != 0;
  options.flagWord = kFlags[data[0] & 3];
  inspect::Inspection result = inspect::InspectImage(options);
  // Detection (run inside, not again here: it scans the whole file) gives
  // one of the three layouts.
  if (!options.flagGiven && result.flagWord != 0 && result.flagWord != 0x08 && result.flagWord != 0x10)
    __builtin_trap();
  if (result.loaded && result.fileSize != size - 1) __builtin_trap();
  if (result.loaded && uint64_t{result.imageOffset} + result.imageSize > result.fileSize) __builtin_trap();
  std::string json = inspect::FormatJson(result);
  if (!Json(json).WholeValue()) __builtin_trap();
  inspect::FormatText(result);
  return 0;
}
