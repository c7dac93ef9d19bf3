#include "system/processes.h"

namespace sys {

namespace {

std::wstring AsciiUpper(std::wstring_view text) {
  std::wstring upper(text);
  for (auto& c : upper) {
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - 32);
  }
  return upper;
}

std::wstring_view Trimmed(std::wstring_view text) {
  const auto blank = [](wchar_t c) { return c <= L' '; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace

bool ExeNameMatches(std::wstring_view processExeName, std::wstring_view exeName) {
  return AsciiUpper(Trimmed(processExeName)) == AsciiUpper(exeName);
}

std::wstring ProgramFolder(std::wstring_view program) {
  const std::size_t slash = program.find_last_of(L"\\/");
  return slash == std::wstring_view::npos ? std::wstring() : std::wstring(program.substr(0, slash));
}

std::wstring ProgramArgsCommandLine(std::wstring_view program, std::wstring_view argument, std::wstring_view extra) {
  std::wstring line;
  line.append(L"\"").append(program).append(L"\" \"").append(argument).append(L"\" ").append(extra);
  return line;
}

}  // namespace sys
