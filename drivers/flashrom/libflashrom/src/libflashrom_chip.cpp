#include "flashrom_driver/libflashrom_chip.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>

// The 1.3 header declares C functions without extern "C".
extern "C" {
#include <libflashrom.h>
}

namespace frd {

namespace {

std::string Hex(uint64_t v) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(v));
  return text;
}

// libflashrom has one process-wide log callback without a context, so its
// messages are gathered here, line by line.
struct LogState {
  std::mutex lock;
  std::string partial;       // current line, until its newline
  int partialLevel = FLASHROM_MSG_SPEW;
  std::string errors;        // error and warning lines of the running operation
  std::string chipName;      // from the probe's "Found ... flash chip "NAME"" line
};

LogState& Log() {
  static LogState state;
  return state;
}

void TakeLine(LogState& s, const std::string& line, int level) {
  if (level <= FLASHROM_MSG_WARN) {
    std::fprintf(stderr, "flashrom: %s\n", line.c_str());
    if (!s.errors.empty()) s.errors += "\n";
    s.errors += line;
  }
  if (line.compare(0, 6, "Found ") == 0) {
    size_t open = line.find('"');
    size_t close = open == std::string::npos ? open : line.find('"', open + 1);
    if (close != std::string::npos) s.chipName = line.substr(open + 1, close - open - 1);
  }
}

int LogCallback(enum flashrom_log_level level, const char* format, va_list args) {
  if (level > FLASHROM_MSG_INFO) return 0;
  char text[1024];
  int n = std::vsnprintf(text, sizeof text, format, args);
  if (n < 0) return 0;
  LogState& s = Log();
  std::lock_guard<std::mutex> guard(s.lock);
  if (s.partial.empty() || level < s.partialLevel) s.partialLevel = level;
  s.partial += text;
  size_t newline;
  while ((newline = s.partial.find('\n')) != std::string::npos) {
    std::string line = s.partial.substr(0, newline);
    s.partial.erase(0, newline + 1);
    if (!line.empty()) TakeLine(s, line, s.partialLevel);
  }
  return n;
}

void StartOperation() {
  LogState& s = Log();
  std::lock_guard<std::mutex> guard(s.lock);
  s.errors.clear();
}

// "what failed (code N)" plus libflashrom's own lines of the operation.
std::string Failure(const std::string& what, int code) {
  LogState& s = Log();
  std::lock_guard<std::mutex> guard(s.lock);
  std::string text = what + " (libflashrom code " + std::to_string(code) + ")";
  if (!s.partial.empty()) {
    TakeLine(s, s.partial, s.partialLevel);
    s.partial.clear();
  }
  if (!s.errors.empty()) text += ": " + s.errors;
  return text;
}

class LibflashromChip : public FlashChip {
 public:
  explicit LibflashromChip(const FlashromConfig& config) : config_(config) {
    flashrom_set_log_callback(&LogCallback);
    initialised_ = flashrom_init(1) == 0;
  }
  // libflashrom outlives this module when another copy of it is loaded, so
  // the callback into this copy is withdrawn; nothing else is torn down.
  ~LibflashromChip() override {
    std::string ignored;
    Close(&ignored);
    flashrom_set_log_callback(nullptr);
  }

  bool Open(std::string* error) override {
    if (context_) return true;
    if (!initialised_) {
      *error = "libflashrom could not be initialised";
      return false;
    }
    // Another loaded copy of this module may have taken the callback since.
    flashrom_set_log_callback(&LogCallback);
    StartOperation();
    {
      std::lock_guard<std::mutex> guard(Log().lock);
      Log().chipName.clear();
    }
    int rc = flashrom_programmer_init(&programmer_, config_.programmer.c_str(),
                                      config_.parameters.empty() ? nullptr : config_.parameters.c_str());
    if (rc != 0) {
      programmer_ = nullptr;
      *error = Failure("programmer \"" + config_.programmer + "\" did not start", rc);
      return false;
    }
    programmerOpen_ = true;
    // Probing every known chip costs a fifth of a second per request; the
    // chip found first is asked for by name, which still checks its ID.
    const std::string& named = config_.chip.empty() ? found_ : config_.chip;
    rc = flashrom_flash_probe(&context_, programmer_, named.empty() ? nullptr : named.c_str());
    if (rc != 0 && config_.chip.empty() && !found_.empty()) {
      found_.clear();
      rc = flashrom_flash_probe(&context_, programmer_, nullptr);
    }
    if (rc != 0) {
      context_ = nullptr;
      const std::string on = " on programmer \"" + config_.programmer + "\"";
      *error = Failure(rc == 3   ? "more than one flash chip found" + on + "; name one with CHIP"
                       : rc == 2 ? "no flash chip found" + on
                                 : "probing for the flash chip failed" + on,
                       rc);
      flashrom_programmer_shutdown(programmer_);
      programmer_ = nullptr;
      programmerOpen_ = false;
      return false;
    }
    std::lock_guard<std::mutex> guard(Log().lock);
    if (!Log().chipName.empty()) found_ = Log().chipName;
    name_ = !found_.empty() ? found_ : config_.chip.empty() ? "chip" : config_.chip;
    return true;
  }

  uint64_t Size() const override { return context_ ? flashrom_flash_getsize(context_) : 0; }
  std::string Name() const override { return name_; }

  bool Read(uint8_t* buffer, size_t size, std::string* error) override {
    if (!context_) {
      *error = "chip not open";
      return false;
    }
    StartOperation();
    int rc = flashrom_image_read(context_, buffer, size);
    known_.clear();
    if (rc != 0) *error = Failure("read failed", rc);
    else if (size == Size()) known_.assign(buffer, buffer + size);
    return rc == 0;
  }

  bool Write(const uint8_t* image, size_t size, const std::vector<ChipSpan>& spans,
             const Written& written, std::string* error) override {
    if (!context_) {
      *error = "chip not open";
      return false;
    }
    // libflashrom needs the chip's contents to skip the blocks that already
    // hold the right bytes; read once here unless a whole read just did.
    if (known_.size() != size) {
      std::vector<uint8_t> current(size);
      if (!Read(current.data(), size, error)) return false;
    }
    // libflashrom has no progress callback: the spans are written in pieces
    // of a few erase blocks, each told when done. Its own verify reads the
    // whole chip on every call, so it stays off: the caller reads back.
    flashrom_flag_set(context_, FLASHROM_FLAG_VERIFY_AFTER_WRITE, false);
    flashrom_flag_set(context_, FLASHROM_FLAG_VERIFY_WHOLE_CHIP, false);
    // libflashrom may change the buffer outside the piece it writes, so each
    // piece is taken from the image again.
    std::vector<uint8_t> work(size);
    for (const ChipSpan& span : spans) {
      for (uint64_t first = span.first; first <= span.last;) {
        const uint64_t last = std::min<uint64_t>(span.last, (first / kPiece + 1) * kPiece - 1);
        const size_t length = static_cast<size_t>(last - first + 1);
        std::copy(image + first, image + last + 1, work.begin() + first);
        if (!WritePiece(work.data(), size, static_cast<uint32_t>(first),
                        static_cast<uint32_t>(last), error))
          return false;
        std::copy(image + first, image + last + 1, known_.begin() + first);
        written(static_cast<uint32_t>(length));
        first = last + 1;
      }
    }
    return true;
  }

  bool Close(std::string* error) override {
    if (context_) flashrom_flash_release(context_);
    context_ = nullptr;
    if (!programmerOpen_) return true;
    StartOperation();
    int rc = flashrom_programmer_shutdown(programmer_);
    programmer_ = nullptr;
    programmerOpen_ = false;
    if (rc != 0) *error = Failure("programmer shutdown failed", rc);
    return rc == 0;
  }

 private:
  FlashromConfig config_;
  bool initialised_ = false;
  // 1.3 leaves the programmer pointer unset, so whether a session is open is kept apart.
  struct flashrom_programmer* programmer_ = nullptr;
  bool programmerOpen_ = false;
  struct flashrom_flashctx* context_ = nullptr;
  std::string name_;
  std::string found_;  // the chip the first probe found, by libflashrom's name for it
  bool WritePiece(uint8_t* work, size_t size, uint32_t first, uint32_t last, std::string* error) {
    StartOperation();
    struct flashrom_layout* layout = nullptr;
    int rc = flashrom_layout_new(&layout);
    if (rc == 0) rc = flashrom_layout_add_region(layout, first, last, "piece");
    if (rc == 0) rc = flashrom_layout_include_region(layout, "piece");
    if (rc != 0) {
      *error = Failure("the write layout could not be made", rc);
      if (layout) flashrom_layout_release(layout);
      return false;
    }
    flashrom_layout_set(context_, layout);
    rc = flashrom_image_write(context_, work, size, known_.data());
    flashrom_layout_set(context_, nullptr);
    flashrom_layout_release(layout);
    if (rc != 0) {
      // Whether the chip changed is for the caller's read-back to tell.
      known_.clear();
      *error = Failure((rc == 4 ? "image size does not match the chip"
                                : "write failed") + std::string(" at ") + Hex(first) + "-" + Hex(last),
                       rc);
    }
    return rc == 0;
  }

  static constexpr uint64_t kPiece = 16 * kBlock;

  std::vector<uint8_t> known_;  // the chip's bytes as last read whole and written since
};

}  // namespace

std::unique_ptr<FlashChip> MakeLibflashromChip(const FlashromConfig& config) {
  return std::make_unique<LibflashromChip>(config);
}

}  // namespace frd
