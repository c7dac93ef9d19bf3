// Errors that escape an event handler all end in one place. Every window procedure of the program
// catches what its handlers throw and reports it here, and so does the installer's guard around
// its own handlers; the handler then ends and the window goes on serving its messages. What a
// report does is set once: by default the message goes to the standard message box.
#pragma once

#include <functional>
#include <string>

namespace sys {

// Receives the message of every error that escaped a handler.
using HandlerErrorSink = std::function<void(const std::wstring& message)>;

// Puts sink in place and returns the one it replaces; an empty sink brings back the default.
HandlerErrorSink SetHandlerErrorSink(HandlerErrorSink sink);

// The message of the exception being handled: an EGeneralError's own text, a std::exception's
// what() read as UTF-8, or a fixed text for anything else. Call only inside a catch block.
std::wstring CurrentErrorMessage();

// Inside a catch block: hands the message of the exception being handled to the sink. Never
// throws; an error of the sink itself is dropped, since nothing is left to report it to.
void ReportHandlerError() noexcept;

}  // namespace sys
