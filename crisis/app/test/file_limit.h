// Makes the process's files unable to grow past a size for one scope, as a
// full working folder would (RLIMIT_FSIZE; writes past it fail with EFBIG).
#pragma once
#include <signal.h>
#include <sys/resource.h>

#include <gtest/gtest.h>

namespace test {

class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    old_handler_ = ::signal(SIGXFSZ, SIG_IGN);  // the write fails instead of killing the test
    EXPECT_EQ(::getrlimit(RLIMIT_FSIZE, &old_), 0);
    struct rlimit lim = old_;
    lim.rlim_cur = bytes;
    EXPECT_EQ(::setrlimit(RLIMIT_FSIZE, &lim), 0);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &old_);
    ::signal(SIGXFSZ, old_handler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  struct rlimit old_ {};
  void (*old_handler_)(int) = SIG_DFL;
};

}  // namespace test
