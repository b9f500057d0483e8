// Test back end for message boxes: records every box and answers from a
// queue; a box that finds the queue empty fails the test.
#pragma once
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "platform/message_box.h"

namespace plat {

struct RecordedBox {
  std::string text;
  std::string caption;
  unsigned flags;
};

class ScriptedMessageBox : public MessageBoxBackend {
 public:
  ScriptedMessageBox() { previous_ = SetMessageBoxBackend(this); }
  ~ScriptedMessageBox() override { SetMessageBoxBackend(previous_); }

  // Queues the answer for the next box.
  ScriptedMessageBox& Answer(int answer) {
    answers_.push_back(answer);
    return *this;
  }
  // Boxes that only inform (MB_OK) are answered IDOK without a queued answer.
  void AllowUnqueuedOk(bool allow) { allowOk_ = allow; }

  int Show(const std::string& text, const std::string& caption, unsigned flags) override {
    boxes.push_back({text, caption, flags});
    if (!answers_.empty()) {
      int a = answers_.front();
      answers_.pop_front();
      return a;
    }
    if (allowOk_ && (flags & MB_TYPEMASK) == MB_OK) return IDOK;
    ADD_FAILURE() << "unexpected message box \"" << text << "\" titled \"" << caption << "\"";
    return DefaultAnswer(flags);
  }

  size_t PendingAnswers() const { return answers_.size(); }
  std::vector<std::string> Texts() const {
    std::vector<std::string> t;
    for (const auto& b : boxes) t.push_back(b.text);
    return t;
  }

  std::vector<RecordedBox> boxes;

 private:
  MessageBoxBackend* previous_ = nullptr;
  std::deque<int> answers_;
  bool allowOk_ = true;
};

}  // namespace plat
