#include "system/processes.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "common/text.h"

#ifdef _WIN32
#include <windows.h>

#include <chrono>
#include <map>
#include <sstream>
#include <thread>

#include "support/temp_folder.h"
#include "support/wait_until.h"
#endif

namespace {

TEST(ExeNameMatches, TrimmedAsciiCaseInsensitiveWholeName) {
  struct Case {
    const wchar_t* process;
    const wchar_t* wanted;
    bool matches;
  };
  const Case cases[] = {
      {L"Orvatte.exe", L"Orvatte.exe", true},
      {L"orvatte.EXE ", L"Orvatte.exe", true},
      {L"\tORVATTE.exe", L"orvatte.exe", true},
      {L"xorvatte.exe", L"orvatte.exe", false},
      {L"orvatte.exe.old", L"orvatte.exe", false},
      {L"orvatte", L"orvatte.exe", false},
      {L"\u00C4.exe", L"\u00E4.exe", false},  // only ASCII letters compare without case
      {L"", L"", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(sys::ExeNameMatches(c.process, c.wanted), c.matches)
        << std::string(c.process, c.process + std::wcslen(c.process));
  }
}

TEST(ProgramFolder, IsThePathUpToItsLastSeparator) {
  EXPECT_EQ(sys::ProgramFolder(L"C:\\Program Files\\Notes\\bin\\Notes.exe"), L"C:\\Program Files\\Notes\\bin");
  EXPECT_EQ(sys::ProgramFolder(L"C:/x/y.exe"), L"C:/x");
  EXPECT_EQ(sys::ProgramFolder(L"regsvr32.exe"), L"");
}

// With fast user switching, several users' desktop shells and copies of the product run at once.
TEST(ProcessesInSession, OnlyProcessesOfTheGivenSessionWithTheGivenName) {
  using sys::NameComparison;
  const std::vector<sys::ProcessEntry> snapshot = {
      {4, L"explorer.exe", 2},        // the first user's shell, listed first
      {8, L"EXPLORER.EXE", 1},        // ours
      {12, L"explorer.exe", std::nullopt},  // ended before its session could be read
      {16, L"Orvatte.exe", 2},
      {20, L"orvatte.EXE ", 1},
      {24, L"Orvatte.exe", 1},
      {28, L"xOrvatte.exe", 1},
      {32, L"explorer.exe", 0},       // services' session
  };
  struct Case {
    const wchar_t* name;
    NameComparison comparison;
    std::uint32_t session;
    std::vector<std::uint32_t> ids;
  };
  const Case cases[] = {
      {L"Explorer.exe", NameComparison::IgnoringAsciiCase, 1, {8}},
      {L"Explorer.exe", NameComparison::IgnoringAsciiCase, 2, {4}},
      {L"Explorer.exe", NameComparison::IgnoringAsciiCase, 0, {32}},
      {L"Explorer.exe", NameComparison::IgnoringAsciiCase, 3, {}},
      {L"Orvatte.exe", NameComparison::TrimmedIgnoringAsciiCase, 1, {20, 24}},
      {L"Orvatte.exe", NameComparison::IgnoringAsciiCase, 1, {24}},  // the blank counts here
      {L"Orvatte.exe", NameComparison::TrimmedIgnoringAsciiCase, 2, {16}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(sys::ProcessesInSession(snapshot, c.name, c.comparison, c.session), c.ids)
        << common::WideToUtf8(c.name) << " in session " << c.session;
  }
}

#ifdef _WIN32

using test_support::TempFolder;

std::map<std::string, std::string> ParseReport(const std::string& text) {
  std::map<std::string, std::string> fields;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    const auto equals = line.find('=');
    if (equals != std::string::npos) fields[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return fields;
}

DWORD ElevationTypeOf(HANDLE process) {
  HANDLE token = nullptr;
  TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
  DWORD size = 0;
  if (OpenProcessToken(process, TOKEN_QUERY, &token)) {
    GetTokenInformation(token, TokenElevationType, &type, sizeof(type), &size);
    CloseHandle(token);
  }
  return type;
}

// Each test gets its own copy of the probe in a folder whose name holds a space.
class Launchers : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    // Wine starts its desktop shell on the first use of the desktop window.
    GetDesktopWindow();
    test_support::WaitUntil([] { return static_cast<bool>(sys::OpenProcessByName(L"explorer.exe")); },
                            std::chrono::seconds(10));
  }
  void SetUp() override { ASSERT_TRUE(CopyFileW(LAUNCH_PROBE_EXE, probe_.c_str(), FALSE)); }

  std::wstring Quoted() const { return L"\"" + probe_ + L"\""; }

  std::map<std::string, std::string> WaitForReport() const {
    const std::wstring out = probe_ + L".out";
    test_support::WaitUntil([&] { return test_support::Exists(out); }, std::chrono::seconds(10));
    return ParseReport(test_support::ReadFile(out));
  }

  TempFolder root_{L"launch test"};
  std::wstring probe_ = root_ / L"probe.exe";
};

TEST_F(Launchers, DesktopUserStartRunsUnderTheShellsToken) {
  std::uint32_t error = 99;
  const sys::Process process = sys::RunAsDesktopUser(Quoted() + L" one two", false, error, true, L"", false);
  ASSERT_TRUE(process);
  EXPECT_EQ(error, 0u);
  const auto report = WaitForReport();
  EXPECT_EQ(report.at("cmd"), common::WideToUtf8(Quoted() + L" one two"));
  const sys::Process shell = sys::OpenProcessByName(L"explorer.exe");
  ASSERT_TRUE(shell);
  EXPECT_EQ(report.at("elevation"), std::to_string(ElevationTypeOf(reinterpret_cast<HANDLE>(shell.Handle()))));
}

TEST_F(Launchers, OwnTokenStartInAGivenFolder) {
  std::uint32_t error = 99;
  const sys::Process process = sys::RunAsDesktopUser(Quoted(), true, error, false, root_.Path(), false);
  ASSERT_TRUE(process);
  EXPECT_EQ(error, 0u);
  const auto report = WaitForReport();
  EXPECT_EQ(report.at("cwd"), common::WideToUtf8(root_.Path()));
  EXPECT_EQ(report.at("elevation"), std::to_string(ElevationTypeOf(GetCurrentProcess())));
}

TEST_F(Launchers, WaitingStartReturnsTheExitCode) {
  EXPECT_EQ(sys::RunWithOwnToken(Quoted() + L" exit7", false, L"", true).ExitCode(), 7u);
  std::uint32_t error = 99;
  EXPECT_EQ(sys::RunAsDesktopUser(Quoted() + L" exit7", false, error, false, L"", true).ExitCode(), 7u);
  EXPECT_EQ(error, 0u);
}

TEST_F(Launchers, MissingProgramIsReportedWithItsError) {
  std::uint32_t error = 0;
  EXPECT_FALSE(sys::RunAsDesktopUser(L"\"" + root_ / L"missing.exe\"", false, error, true, L"", false));
  EXPECT_EQ(error, static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(sys::RunWithOwnToken(L"\"" + root_ / L"missing.exe\"", false, L"", false));
  EXPECT_FALSE(sys::StartProgramWithArgs(root_ / L"missing.exe", L"x", L""));
}

TEST_F(Launchers, ProgramWithArgsQuotesProgramAndArgumentAndStartsInItsFolder) {
  const sys::Process process = sys::StartProgramWithArgs(probe_, L"Orvatte user", L"");
  ASSERT_TRUE(process);
  const auto report = WaitForReport();
  EXPECT_EQ(report.at("cmd"), common::WideToUtf8(Quoted() + L" \"Orvatte user\" "));
  EXPECT_EQ(report.at("cwd"), common::WideToUtf8(root_.Path()));
}

// A started process's handle has one owner: a move hands it on without closing it, and the owner
// closes it when it lets the process go.
TEST_F(Launchers, AProcessHandleIsClosedOnceByItsLastOwner) {
  sys::Process first = sys::StartProgramWithArgs(probe_, L"x", L"");
  ASSERT_TRUE(first);
  const HANDLE raw = reinterpret_cast<HANDLE>(first.Handle());
  DWORD flags = 0;
  sys::Process second = std::move(first);
  EXPECT_FALSE(first);
  EXPECT_EQ(reinterpret_cast<HANDLE>(second.Handle()), raw);
  EXPECT_TRUE(GetHandleInformation(raw, &flags)) << "a move must not close the handle";
  EXPECT_EQ(WaitForSingleObject(raw, 20000), WAIT_OBJECT_0);
  second = sys::Process();
  EXPECT_FALSE(GetHandleInformation(raw, &flags)) << "the last owner must close it";
  WaitForReport();
}

// A web address goes to the handler of its scheme, started by the system's URL handler under the
// desktop shell's token: here a scheme of our own whose handler is the probe.
TEST_F(Launchers, WebPageOpensWithTheDesktopUsersRights) {
  const std::wstring scheme = L"orvatte-test-" + std::to_wstring(GetCurrentProcessId());
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, (scheme + L"\\shell\\open\\command").c_str(), 0, nullptr, 0,
                            KEY_WRITE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const std::wstring command = Quoted() + L" \"%1\"";
  RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                 static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, scheme.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(key, L"URL Protocol", 0, REG_SZ, reinterpret_cast<const BYTE*>(L""), sizeof(wchar_t));
  RegCloseKey(key);

  const std::wstring url = scheme + L"://site.test/?v=2.0%20x&f=web";
  sys::OpenWebPage(url);
  const auto report = WaitForReport();
  RegDeleteTreeW(HKEY_CLASSES_ROOT, scheme.c_str());
  ASSERT_TRUE(report.contains("cmd"));
  EXPECT_NE(report.at("cmd").find(common::WideToUtf8(url)), std::string::npos) << report.at("cmd");
  const sys::Process shell = sys::OpenProcessByName(L"explorer.exe");
  ASSERT_TRUE(shell);
  EXPECT_EQ(report.at("elevation"), std::to_string(ElevationTypeOf(reinterpret_cast<HANDLE>(shell.Handle()))));
}

TEST_F(Launchers, ShellOpenStartsTheProgramInTheGivenFolder) {
  // The test's own working folder is another one, as the installer's is (Downloads, typically).
  wchar_t cwd[MAX_PATH] = L"";
  GetCurrentDirectoryW(MAX_PATH, cwd);
  ASSERT_NE(std::wstring(cwd), root_.Path());
  EXPECT_GT(sys::RunProgram(probe_, sys::kSwShowNormal, sys::ProgramFolder(probe_)), 32);
  EXPECT_EQ(WaitForReport().at("cwd"), common::WideToUtf8(root_.Path()));
}

// The companion program's start: the parameters follow the program on its command line.
TEST_F(Launchers, ShellOpenHandsItsParametersToTheProgram) {
  EXPECT_GT(sys::ShellOpen(nullptr, probe_, L"asso \"a b\"", sys::ProgramFolder(probe_), sys::kSwShowNormal), 32);
  const auto report = WaitForReport();
  ASSERT_TRUE(report.contains("cmd"));
  const std::string cmd = report.at("cmd");
  EXPECT_TRUE(cmd.ends_with(" asso \"a b\"")) << cmd;
  EXPECT_EQ(report.at("cwd"), common::WideToUtf8(root_.Path()));
}

TEST_F(Launchers, KillProcessByNameEndsEveryCopy) {
  const std::wstring sleeper = root_ / L"Sleeper.exe";
  ASSERT_TRUE(CopyFileW(LAUNCH_PROBE_EXE, sleeper.c_str(), FALSE));
  PROCESS_INFORMATION copies[2] = {};
  for (auto& copy : copies) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    std::wstring line = L"\"" + sleeper + L"\" sleep";
    ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &copy));
  }
  EXPECT_TRUE(sys::OpenProcessByName(L"sleeper.EXE"));

  EXPECT_TRUE(sys::KillProcessByName(L"SLEEPER.exe"));
  for (auto& copy : copies) {
    EXPECT_EQ(WaitForSingleObject(copy.hProcess, 10000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeProcess(copy.hProcess, &code);
    EXPECT_EQ(code, 1u);
    CloseHandle(copy.hThread);
    CloseHandle(copy.hProcess);
  }
  EXPECT_FALSE(sys::OpenProcessByName(L"Sleeper.exe"));
  EXPECT_TRUE(sys::KillProcessByName(L"Sleeper.exe"));  // nothing left to end
}

// A folder whose name holds every character the command interpreter treats specially, with a
// planted "cmd.exe" in it and in the current folder: the batch file still runs, in its folder,
// through the system's interpreter.
TEST_F(Launchers, BatchFileRunsThroughTheSystemInterpreterWhateverItsFolderIsCalled) {
  const std::wstring folder = root_ / L"100% & ^ (x)! %PATH% \u4E2D\u6587";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  test_support::WriteFile(folder + L"\\post 1.bat", "@echo ran> ran.txt\r\n");
  const std::wstring plantedHere = folder + L"\\cmd.exe";
  const std::wstring plantedCurrent = root_ / L"cmd.exe";
  ASSERT_TRUE(CopyFileW(LAUNCH_PROBE_EXE, plantedHere.c_str(), FALSE));
  ASSERT_TRUE(CopyFileW(LAUNCH_PROBE_EXE, plantedCurrent.c_str(), FALSE));
  wchar_t before[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, before);
  ASSERT_TRUE(SetCurrentDirectoryW(root_.Path().c_str()));

  const sys::Process process = sys::RunHiddenThroughCommandInterpreter(folder + L"\\post 1.bat");
  SetCurrentDirectoryW(before);
  ASSERT_TRUE(process);
  EXPECT_EQ(WaitForSingleObject(reinterpret_cast<HANDLE>(process.Handle()), 20000), WAIT_OBJECT_0);
  EXPECT_EQ(test_support::ReadFile(folder + L"\\ran.txt"), "ran\r\n");
  EXPECT_FALSE(test_support::Exists(plantedHere + L".out"));
  EXPECT_FALSE(test_support::Exists(plantedCurrent + L".out"));
}

TEST(Processes, SystemProgramsComeFromTheSystemFolder) {
  wchar_t system[MAX_PATH] = {};
  ASSERT_GT(GetSystemDirectoryW(system, MAX_PATH), 0u);
  for (const wchar_t* name : {L"cmd.exe", L"regsvr32.exe", L"rundll32.exe"}) {
    const std::wstring path = sys::SystemProgramPath(name);
    EXPECT_EQ(path, std::wstring(system) + L"\\" + name);
    const DWORD attributes = GetFileAttributesW(path.c_str());
    EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        << common::WideToUtf8(path);
  }
}

TEST(Processes, VersionAndPrivilege) {
  EXPECT_TRUE(sys::IsVistaOrLater());
  EXPECT_TRUE(sys::EnablePrivilege(sys::CurrentProcess(), L"SeDebugPrivilege"));
  EXPECT_FALSE(sys::EnablePrivilege(sys::CurrentProcess(), L"SeNoSuchPrivilege"));
}

#endif

}  // namespace
