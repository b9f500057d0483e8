#include "flashrom_driver/libflashrom_chip.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>

#include <sys/mman.h>

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

// Anonymous memory of a chip's size of which only the pages used become
// resident; Release gives them back.
class ChipSized {
 public:
  explicit ChipSized(size_t size) : size_(size) {
    void* p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE,
                     -1, 0);
    data_ = p == MAP_FAILED ? nullptr : static_cast<uint8_t*>(p);
  }
  ~ChipSized() {
    if (data_) ::munmap(data_, size_);
  }
  ChipSized(const ChipSized&) = delete;
  ChipSized& operator=(const ChipSized&) = delete;
  bool ok() const { return data_ != nullptr; }
  uint8_t* data() { return data_; }
  void Release() {
    if (data_) ::madvise(data_, size_, MADV_DONTNEED);
  }

 private:
  uint8_t* data_ = nullptr;
  size_t size_;
};

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
    if (layout_) flashrom_layout_release(layout_);
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

  bool Read(uint32_t offset, uint8_t* buffer, size_t length, std::string* error) override {
    if (!context_) {
      *error = "chip not open";
      return false;
    }
    const size_t size = static_cast<size_t>(Size());
    if (length == 0) return true;
    if (offset == 0 && length == size) {
      StartOperation();
      const int rc = flashrom_image_read(context_, buffer, size);
      if (rc != 0) *error = Failure("read failed", rc);
      return rc == 0;
    }
    // libflashrom reads a region only into a chip-sized buffer; the pages
    // outside the region are never touched, so they cost no memory.
    ChipSized scratch(size);
    if (!scratch.ok()) {
      *error = "no address space for a chip-sized buffer";
      return false;
    }
    const uint32_t last = static_cast<uint32_t>(offset + length - 1);
    if (!Included(offset, last, "the read layout could not be made", error)) return false;
    const int rc = flashrom_image_read(context_, scratch.data(), size);
    flashrom_layout_set(context_, nullptr);
    if (rc != 0) {
      *error = Failure("read failed at " + Hex(offset) + "-" + Hex(last), rc);
      return false;
    }
    std::memcpy(buffer, scratch.data() + offset, length);
    return true;
  }

  bool Write(size_t size, const std::vector<ChipSpan>& spans, const ImageSource& image,
             const Written& written, std::string* error) override {
    if (!context_) {
      *error = "chip not open";
      return false;
    }
    // libflashrom has no progress callback: the spans are written in pieces
    // of a few erase blocks, each told when done. Its own verify reads the
    // whole chip on every call, so it stays off: the caller reads back.
    flashrom_flag_set(context_, FLASHROM_FLAG_VERIFY_AFTER_WRITE, false);
    flashrom_flag_set(context_, FLASHROM_FLAG_VERIFY_WHOLE_CHIP, false);
    // Only the piece being written is held; libflashrom reads that piece of
    // the chip itself to skip the blocks that hold the right bytes already.
    ChipSized work(size);
    if (!work.ok()) {
      *error = "no address space for a chip-sized buffer";
      return false;
    }
    for (const ChipSpan& span : spans) {
      for (uint64_t first = span.first; first <= span.last;) {
        const uint64_t last = std::min<uint64_t>(span.last, (first / kPiece + 1) * kPiece - 1);
        const uint32_t length = static_cast<uint32_t>(last - first + 1);
        if (!image(static_cast<uint32_t>(first), length, work.data() + first)) {
          *error = "the image could not be read from the caller";
          return false;
        }
        if (!WritePiece(work.data(), size, static_cast<uint32_t>(first), static_cast<uint32_t>(last),
                        error))
          return false;
        work.Release();
        written(length);
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
  // A layout of the one region [first, last], set on the context.
  bool Included(uint32_t first, uint32_t last, const char* what, std::string* error) {
    StartOperation();
    if (layout_) flashrom_layout_release(layout_);
    layout_ = nullptr;
    int rc = flashrom_layout_new(&layout_);
    if (rc == 0) rc = flashrom_layout_add_region(layout_, first, last, "piece");
    if (rc == 0) rc = flashrom_layout_include_region(layout_, "piece");
    if (rc != 0) {
      *error = Failure(what, rc);
      return false;
    }
    flashrom_layout_set(context_, layout_);
    return true;
  }

  bool WritePiece(uint8_t* work, size_t size, uint32_t first, uint32_t last, std::string* error) {
    if (!Included(first, last, "the write layout could not be made", error)) return false;
    // No reference image: libflashrom reads the piece's present bytes from the chip.
    const int rc = flashrom_image_write(context_, work, size, nullptr);
    flashrom_layout_set(context_, nullptr);
    if (rc != 0)
      *error = Failure((rc == 4 ? "image size does not match the chip"
                                : "write failed") + std::string(" at ") + Hex(first) + "-" + Hex(last),
                       rc);
    return rc == 0;
  }

  struct flashrom_layout* layout_ = nullptr;  // the last piece's, released with the next or at the end
  static constexpr uint64_t kPiece = 16 * kBlock;
};

}  // namespace

std::unique_ptr<FlashChip> MakeLibflashromChip(const FlashromConfig& config) {
  return std::make_unique<LibflashromChip>(config);
}

}  // namespace frd
