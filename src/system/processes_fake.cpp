#include "system/processes_fake.h"

#include <algorithm>

#include "system/processes.h"

namespace sys {

namespace fake_processes {

State& Processes() {
  static State state;
  return state;
}

void Reset() { Processes() = State{}; }

}  // namespace fake_processes

namespace {

using fake_processes::Processes;
using fake_processes::Start;
using fake_processes::Token;

constexpr std::uint32_t kFileNotFound = 2;
constexpr std::uint32_t kInvalidHandle = 6;
// Handles that the fake hands out: distinct non-zero values.
std::intptr_t NextHandle() {
  static std::intptr_t next = 0x1000;
  return next += 4;
}

std::intptr_t Record(Start start, std::uint32_t& error) {
  error = 0;
  if (Processes().startsFail) {
    error = kFileNotFound;
    return 0;
  }
  const bool wait = start.wait;
  Processes().starts.push_back(std::move(start));
  return wait ? Processes().exitCode : NextHandle();
}

}  // namespace

bool IsVistaOrLater() { return true; }

std::intptr_t RunAsDesktopUser(std::wstring_view commandLine, bool useOwnToken, std::uint32_t& errorCode, bool show,
                               std::wstring_view currentDir, bool wait) {
  if (!useOwnToken && !Processes().desktopShellRunning) {
    errorCode = kInvalidHandle;  // the duplication of a token that could not be opened
    return 0;
  }
  return Record({useOwnToken ? Token::Own : Token::DesktopUser, L"", std::wstring(commandLine),
                 std::wstring(currentDir), show ? kSwShowNormal : kSwHide, wait},
                errorCode);
}

std::intptr_t RunWithOwnToken(std::wstring_view commandLine, bool show, std::wstring_view currentDir, bool wait) {
  std::uint32_t ignored = 0;
  return RunAsDesktopUser(commandLine, true, ignored, show, currentDir, wait);
}

std::intptr_t StartProgramWithArgs(std::wstring_view program, std::wstring_view argument, std::wstring_view extra) {
  std::uint32_t ignored = 0;
  return Record({Token::Inherited, std::wstring(program), ProgramArgsCommandLine(program, argument, extra),
                 ProgramFolder(program), 5, false},
                ignored);
}

std::intptr_t RunProgram(std::wstring_view file, int showCmd, std::wstring_view directory) {
  std::uint32_t error = 0;
  return Record({Token::Shell, std::wstring(file), L"", std::wstring(directory), showCmd, false}, error) != 0 ? 42 : 2;
}

void OpenWebPage(std::wstring_view url) { RunProgram(url, kSwShowMaximized, L""); }

std::intptr_t OpenProcessByName(std::wstring_view exeName) {
  const auto& running = Processes().running;
  const auto found = std::find_if(running.begin(), running.end(), [&](const std::wstring& name) {
    return name.size() == exeName.size() && ExeNameMatches(name, exeName);
  });
  return found == running.end() ? 0 : NextHandle();
}

bool KillProcessByName(std::wstring_view exeName) {
  auto& state = Processes();
  bool result = true;
  std::vector<std::wstring> survivors;
  for (const auto& name : state.running) {
    if (!ExeNameMatches(name, exeName)) {
      survivors.push_back(name);
    } else if (std::find(state.unkillable.begin(), state.unkillable.end(), name) != state.unkillable.end()) {
      survivors.push_back(name);
      result = false;
    } else {
      state.terminated.push_back(name);
    }
  }
  state.running = std::move(survivors);
  return result;
}

bool EnablePrivilege(std::intptr_t, std::wstring_view) { return true; }

void CloseProcessHandle(std::intptr_t) {}

}  // namespace sys
