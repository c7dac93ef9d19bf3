// Starting and ending other processes: the installed program under the desktop user's token, the
// hidden self-delete script under the program's own token, an elevated program with one argument,
// the shell's "open" verb for files and web pages, and the termination of processes by name.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sys {

// A process that was started or opened, owned: its handle is closed when the object goes, so a
// caller that does not want it simply lets it go. Empty when no process was started or found.
class Process {
 public:
  Process() = default;
  // Takes over handle (a HANDLE value); exitCode when the start waited for the process to end.
  explicit Process(std::intptr_t handle, std::optional<std::uint32_t> exitCode = std::nullopt)
      : handle_(handle), exitCode_(exitCode) {}
  ~Process() { Close(); }
  Process(Process&& other) noexcept
      : handle_(std::exchange(other.handle_, 0)), exitCode_(std::exchange(other.exitCode_, std::nullopt)) {}
  Process& operator=(Process&& other) noexcept {
    if (this != &other) {
      Close();
      handle_ = std::exchange(other.handle_, 0);
      exitCode_ = std::exchange(other.exitCode_, std::nullopt);
    }
    return *this;
  }
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  explicit operator bool() const { return handle_ != 0; }
  // The HANDLE value for a system call; the handle stays owned.
  std::intptr_t Handle() const { return handle_; }
  // The exit code, when the start waited for the process to end.
  std::optional<std::uint32_t> ExitCode() const { return exitCode_; }

 private:
  void Close();

  std::intptr_t handle_ = 0;
  std::optional<std::uint32_t> exitCode_;
};

// The running process itself, for EnablePrivilege: GetCurrentProcess()'s pseudo handle, which
// needs no closing.
Process CurrentProcess();

inline constexpr int kSwHide = 0;
inline constexpr int kSwShowNormal = 1;
inline constexpr int kSwShowMaximized = 3;

// True when the operating system's major version is above 5.
bool IsVistaOrLater();

// The full path of fileName in the system folder (GetSystemDirectoryW). Every system program the
// installer starts is named this way, so that no program of the same name in the current folder,
// the installer's folder or the PATH is found instead.
std::wstring SystemProgramPath(std::wstring_view fileName);
// Runs file (a batch file, or any file the shell can open) through the system's command
// interpreter, hidden, under the program's own token, in file's folder, without waiting. The
// interpreter ignores the user's AutoRun commands and delayed-expansion setting, and is given the
// file by its name relative to that folder, so no character of the folder's path is interpreted
// and no other folder is searched. Result: the process, or none.
Process RunHiddenThroughCommandInterpreter(std::wstring_view file);
// The command line that RunHiddenThroughCommandInterpreter passes for a file named fileName.
std::wstring CommandInterpreterLine(std::wstring_view fileName);

// Starts commandLine (no separate program name) under a duplicate of the desktop shell's token
// ("Explorer.exe"), or of the program's own token when useOwnToken; shown normally or hidden; in
// currentDir unless it is empty. Result: the process, none when nothing started; when wait, it
// has ended and carries its exit code. errorCode: 0, or the Windows error of the failing step.
Process RunAsDesktopUser(std::wstring_view commandLine, bool useOwnToken, std::uint32_t& errorCode, bool show,
                         std::wstring_view currentDir, bool wait);
// Starts the program at path under the desktop shell's token: quoted, so that a folder with blanks
// cannot make the system start another program; shown; in its own folder (ProgramFolder), so that it
// finds its files by relative path; without waiting. When that token cannot be had, the program is
// not started at all rather than elevated another way. 0, or the Windows error of the failing step.
std::uint32_t StartAsDesktopUser(std::wstring_view program);
// RunAsDesktopUser with the program's own token and without an error code.
Process RunWithOwnToken(std::wstring_view commandLine, bool show, std::wstring_view currentDir, bool wait);
// Starts program with the command line "program" "argument" extra (each of the first two quoted,
// a space after each), in the program's folder, shown; the child inherits our token. Result: the
// process, or none.
Process StartProgramWithArgs(std::wstring_view program, std::wstring_view argument, std::wstring_view extra);
// The command line that StartProgramWithArgs passes.
std::wstring ProgramArgsCommandLine(std::wstring_view program, std::wstring_view argument, std::wstring_view extra);
// The folder of a program's path without its trailing separator: the working folder that every
// start of an installed program gets, so that it finds its files by relative path. Empty for a
// bare name.
std::wstring ProgramFolder(std::wstring_view program);
// ShellExecuteW(owner, "open", file, parameters or none when empty, directory or none when empty,
// showCmd): every shell "open" of the installer. The shell's result (above 32 on success).
std::intptr_t ShellOpen(void* owner, std::wstring_view file, std::wstring_view parameters, std::wstring_view directory,
                        int showCmd);
// ShellOpen without owner and parameters.
std::intptr_t RunProgram(std::wstring_view file, int showCmd, std::wstring_view directory);
// Opens url with the desktop user's rights, maximised: the system's URL handler is started under
// the desktop shell's token, so a browser never runs elevated. Without that token nothing opens.
void OpenWebPage(std::wstring_view url);
// The command line that OpenWebPage starts.
std::wstring WebPageCommandLine(std::wstring_view url);

// Processes are looked for only in the installer's own logon session: with fast user switching
// another user's desktop shell or copy of the product runs in another session, and neither its
// token nor its life is ours to take.

// The first process of our session whose executable name equals exeName ignoring ASCII case,
// opened for query access; none when there is none.
Process OpenProcessByName(std::wstring_view exeName);
// Terminates (exit code 1) every process of our session whose trimmed executable name equals
// exeName in ASCII upper case. True when every termination succeeded, also when none matched.
bool KillProcessByName(std::wstring_view exeName);
// Whether a process's executable name matches exeName as KillProcessByName compares them.
bool ExeNameMatches(std::wstring_view processExeName, std::wstring_view exeName);

// One process of a snapshot: its id, executable name, and session when that could be read (a
// process that has ended or that we may not query has none).
struct ProcessEntry {
  std::uint32_t id = 0;
  std::wstring exeFile;
  std::optional<std::uint32_t> session;
};
enum class NameComparison { IgnoringAsciiCase, TrimmedIgnoringAsciiCase };
// The ids, in snapshot order, of the processes running in session whose name matches exeName.
// A process whose session is unknown is never chosen.
std::vector<std::uint32_t> ProcessesInSession(const std::vector<ProcessEntry>& snapshot, std::wstring_view exeName,
                                              NameComparison comparison, std::uint32_t session);
// Enables one privilege in the token of process.
bool EnablePrivilege(const Process& process, std::wstring_view privilegeName);

}  // namespace sys
