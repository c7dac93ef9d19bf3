// The host build's stand-in for processes: it records every start and shell "open" instead of
// running anything, and keeps a scripted list of running processes that KillProcessByName ends.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sys::fake_processes {

enum class Token { DesktopUser, Own, Inherited, Shell };

struct Start {
  Token token = Token::Own;
  std::wstring application;  // StartProgramWithArgs' program; the file or address of a shell open
  std::wstring commandLine;  // a shell open's parameters
  std::wstring currentDir;
  int show = 0;  // SW_* value
  bool wait = false;
};

struct State {
  std::vector<Start> starts;
  // Executable names of the running processes of our session, in snapshot order; terminated ones
  // leave the list.
  std::vector<std::wstring> running;
  // Executable names of processes of another logon session (another user's desktop): never found
  // nor terminated.
  std::vector<std::wstring> otherSession;
  std::vector<std::wstring> terminated;
  // Names whose termination fails (they stay running).
  std::vector<std::wstring> unkillable;
  bool desktopShellRunning = true;  // without it RunAsDesktopUser fails as on Windows
  bool startsFail = false;          // every start fails with ERROR_FILE_NOT_FOUND
  std::uint32_t exitCode = 0;       // the exit code of a waited-for start
};

State& Processes();
void Reset();

}  // namespace sys::fake_processes
