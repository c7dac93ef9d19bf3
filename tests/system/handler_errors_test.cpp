// Errors that escape an event handler: the message each kind of error gives, and where it goes.
#include "system/handler_errors.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/strings.h"
#include "common/text.h"
#include "support/message_box_recorder.h"

namespace {

struct Thrown {
  const char* kind;
  std::function<void()> raise;
  std::wstring message;
};

std::vector<Thrown> ThrownErrors() {
  return {
      {"EGeneralError", [] { common::RaiseError(L"Invalid data type for 'kid'"); }, L"Invalid data type for 'kid'"},
      {"std::exception with UTF-8", [] { throw std::runtime_error("\xE7\xA3\x81\xE7\x9B\x98\xE5\xB7\xB2\xE6\xBB\xA1"); },
       L"磁盘已满"},
      {"std::bad_alloc", [] { throw std::bad_alloc(); }, common::Utf8ToWide(std::bad_alloc().what())},
      {"anything else", [] { throw 42; }, L"未知错误"},
  };
}

TEST(HandlerErrors, EachKindOfErrorReachesTheSinkWithItsMessage) {
  std::vector<std::wstring> reported;
  const sys::HandlerErrorSink previous =
      sys::SetHandlerErrorSink([&](const std::wstring& message) { reported.push_back(message); });
  for (const Thrown& t : ThrownErrors()) {
    SCOPED_TRACE(t.kind);
    reported.clear();
    try {
      t.raise();
    } catch (...) {
      EXPECT_EQ(sys::CurrentErrorMessage(), t.message);
      sys::ReportHandlerError();
    }
    EXPECT_EQ(reported, std::vector<std::wstring>{t.message});
  }
  sys::SetHandlerErrorSink(previous);
}

TEST(HandlerErrors, WithoutASinkTheStandardMessageBoxShowsIt) {
  test_support::MessageBoxRecorder boxes;
  int marker = 0;
  sys::SetApplicationWindow(&marker, L"示例软件");
  try {
    common::RaiseError(L"资源不存在");
  } catch (...) {
    sys::ReportHandlerError();
  }
  sys::SetApplicationWindow(nullptr, L"");
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text, L"资源不存在");
  EXPECT_EQ(boxes.Boxes()[0].caption, L"示例软件");
  EXPECT_EQ(boxes.Boxes()[0].owner, &marker);
  EXPECT_EQ(boxes.Boxes()[0].style, sys::mb::kOk);
}

// A sink that throws is the last place an error could go: it is dropped there, never thrown into
// the window procedure that reported it.
TEST(HandlerErrors, AnErrorOfTheSinkItselfGoesNoFurther) {
  const sys::HandlerErrorSink previous =
      sys::SetHandlerErrorSink([](const std::wstring&) { throw std::runtime_error("sink"); });
  bool reportReturned = false;
  try {
    throw std::runtime_error("handler");
  } catch (...) {
    sys::ReportHandlerError();
    reportReturned = true;
  }
  sys::SetHandlerErrorSink(previous);
  EXPECT_TRUE(reportReturned);
}

}  // namespace
