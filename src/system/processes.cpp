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

std::vector<std::uint32_t> ProcessesInSession(const std::vector<ProcessEntry>& snapshot, std::wstring_view exeName,
                                              NameComparison comparison, std::uint32_t session) {
  std::vector<std::uint32_t> ids;
  for (const ProcessEntry& entry : snapshot) {
    if (entry.session != session) continue;
    const bool matches = comparison == NameComparison::IgnoringAsciiCase
                             ? AsciiUpper(entry.exeFile) == AsciiUpper(exeName)
                             : ExeNameMatches(entry.exeFile, exeName);
    if (matches) ids.push_back(entry.id);
  }
  return ids;
}

std::wstring CommandInterpreterLine(std::wstring_view fileName) {
  std::wstring line;
  line.append(L"\"").append(SystemProgramPath(L"cmd.exe")).append(L"\" /d /v:off /s /c \"\".\\");
  line.append(fileName).append(L"\"\"");
  return line;
}

Process RunHiddenThroughCommandInterpreter(std::wstring_view file) {
  const std::wstring folder = ProgramFolder(file);
  const std::wstring_view name = folder.empty() ? file : file.substr(folder.size() + 1);
  return RunWithOwnToken(CommandInterpreterLine(name), false, folder, false);
}

std::uint32_t StartAsDesktopUser(std::wstring_view program) {
  std::uint32_t error = 0;
  RunAsDesktopUser(L"\"" + std::wstring(program) + L"\"", false, error, true, ProgramFolder(program), false);
  return error;
}

std::intptr_t RunProgram(std::wstring_view file, int showCmd, std::wstring_view directory) {
  return ShellOpen(nullptr, file, L"", directory, showCmd);
}

std::wstring WebPageCommandLine(std::wstring_view url) {
  // url.dll's handler takes the rest of the line as the address, unparsed.
  return L"\"" + SystemProgramPath(L"rundll32.exe") + L"\" url.dll,FileProtocolHandler " + std::wstring(url);
}

std::wstring ProgramArgsCommandLine(std::wstring_view program, std::wstring_view argument, std::wstring_view extra) {
  std::wstring line;
  line.append(L"\"").append(program).append(L"\" \"").append(argument).append(L"\" ").append(extra);
  return line;
}

}  // namespace sys
