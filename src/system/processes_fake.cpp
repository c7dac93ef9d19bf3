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

Process Record(Start start, std::uint32_t& error) {
  error = 0;
  if (Processes().startsFail) {
    error = kFileNotFound;
    return {};
  }
  const bool wait = start.wait;
  Processes().starts.push_back(std::move(start));
  return wait ? Process(NextHandle(), Processes().exitCode) : Process(NextHandle());
}

}  // namespace

// The fake's handles are only numbers: nothing to close.
void Process::Close() { handle_ = 0; }

Process CurrentProcess() { return Process(-1); }

bool IsVistaOrLater() { return true; }

std::wstring SystemProgramPath(std::wstring_view fileName) { return L"C:\\Windows\\system32\\" + std::wstring(fileName); }

Process RunAsDesktopUser(std::wstring_view commandLine, bool useOwnToken, std::uint32_t& errorCode, bool show,
                         std::wstring_view currentDir, bool wait) {
  if (!useOwnToken && !Processes().desktopShellRunning) {
    errorCode = kInvalidHandle;  // the duplication of a token that could not be opened
    return {};
  }
  return Record({useOwnToken ? Token::Own : Token::DesktopUser, L"", std::wstring(commandLine),
                 std::wstring(currentDir), show ? kSwShowNormal : kSwHide, wait},
                errorCode);
}

Process RunWithOwnToken(std::wstring_view commandLine, bool show, std::wstring_view currentDir, bool wait) {
  std::uint32_t ignored = 0;
  return RunAsDesktopUser(commandLine, true, ignored, show, currentDir, wait);
}

Process StartProgramWithArgs(std::wstring_view program, std::wstring_view argument, std::wstring_view extra) {
  std::uint32_t ignored = 0;
  return Record({Token::Inherited, std::wstring(program), ProgramArgsCommandLine(program, argument, extra),
                 ProgramFolder(program), 5, false},
                ignored);
}

std::intptr_t ShellOpen(void*, std::wstring_view file, std::wstring_view parameters, std::wstring_view directory,
                        int showCmd) {
  std::uint32_t error = 0;
  return Record({Token::Shell, std::wstring(file), std::wstring(parameters), std::wstring(directory), showCmd, false},
                error)
             ? 42
             : 2;
}

void OpenWebPage(std::wstring_view url) {
  if (!Processes().desktopShellRunning) return;
  std::uint32_t ignored = 0;
  Record({Token::DesktopUser, L"", WebPageCommandLine(url), L"", kSwShowMaximized, false}, ignored);
}

namespace {

constexpr std::uint32_t kOwnSession = 1;
constexpr std::uint32_t kOtherSession = 2;

// The snapshot the system would give: the processes of another session first, so that a search
// that ignored sessions would find them before ours. Ids are positions in the list.
std::vector<ProcessEntry> Snapshot() {
  std::vector<ProcessEntry> entries;
  for (const auto& name : Processes().otherSession) {
    entries.push_back({static_cast<std::uint32_t>(entries.size()), name, kOtherSession});
  }
  for (const auto& name : Processes().running) {
    entries.push_back({static_cast<std::uint32_t>(entries.size()), name, kOwnSession});
  }
  return entries;
}

}  // namespace

Process OpenProcessByName(std::wstring_view exeName) {
  if (ProcessesInSession(Snapshot(), exeName, NameComparison::IgnoringAsciiCase, kOwnSession).empty()) return {};
  return Process(NextHandle());
}

bool KillProcessByName(std::wstring_view exeName) {
  auto& state = Processes();
  const std::vector<ProcessEntry> snapshot = Snapshot();
  const std::vector<std::uint32_t> ids =
      ProcessesInSession(snapshot, exeName, NameComparison::TrimmedIgnoringAsciiCase, kOwnSession);
  bool result = true;
  std::vector<std::wstring> survivors;
  for (const ProcessEntry& entry : snapshot) {
    if (entry.session != kOwnSession) continue;
    if (std::find(ids.begin(), ids.end(), entry.id) == ids.end()) {
      survivors.push_back(entry.exeFile);
    } else if (std::find(state.unkillable.begin(), state.unkillable.end(), entry.exeFile) != state.unkillable.end()) {
      survivors.push_back(entry.exeFile);
      result = false;
    } else {
      state.terminated.push_back(entry.exeFile);
    }
  }
  state.running = std::move(survivors);
  return result;
}

bool EnablePrivilege(const Process&, std::wstring_view) { return true; }

}  // namespace sys
