// Records the message boxes that the code under test shows and answers them, in place of the
// system's box, for as long as the object lives.
#pragma once

#include <deque>
#include <utility>
#include <vector>

#include "system/message_box.h"

namespace test_support {

class MessageBoxRecorder {
 public:
  // Boxes are answered with answers in turn; once they are used up, with IDOK.
  explicit MessageBoxRecorder(std::deque<int> answers = {}) : answers_(std::move(answers)) {
    previous_ = sys::SetMessageBoxHandler([this](const sys::MessageBoxRequest& request) {
      boxes_.push_back(request);
      if (answers_.empty()) return sys::mb::kIdOk;
      const int answer = answers_.front();
      answers_.pop_front();
      return answer;
    });
  }
  ~MessageBoxRecorder() { sys::SetMessageBoxHandler(std::move(previous_)); }
  MessageBoxRecorder(const MessageBoxRecorder&) = delete;
  MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

  const std::vector<sys::MessageBoxRequest>& Boxes() const { return boxes_; }

 private:
  std::deque<int> answers_;
  std::vector<sys::MessageBoxRequest> boxes_;
  sys::MessageBoxHandler previous_;
};

}  // namespace test_support
