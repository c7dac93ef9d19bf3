#include "system/handler_errors.h"

#include <exception>
#include <utility>

#include "common/strings.h"
#include "common/text.h"
#include "system/message_box.h"

namespace sys {
namespace {

HandlerErrorSink& Sink() {
  static HandlerErrorSink sink;
  return sink;
}

}  // namespace

HandlerErrorSink SetHandlerErrorSink(HandlerErrorSink sink) { return std::exchange(Sink(), std::move(sink)); }

std::wstring CurrentErrorMessage() {
  try {
    throw;
  } catch (const common::EGeneralError& e) {
    return e.Message();
  } catch (const std::exception& e) {
    return common::Utf8ToWide(e.what());
  } catch (...) {
    return L"未知错误";
  }
}

void ReportHandlerError() noexcept {
  try {
    const std::wstring message = CurrentErrorMessage();
    if (Sink()) {
      Sink()(message);
    } else {
      ShowStandardMessage(message);
    }
  } catch (...) {
  }
}

}  // namespace sys
