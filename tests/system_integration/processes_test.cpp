#include "system/processes.h"

#include <gtest/gtest.h>

#include <string>

#ifdef _WIN32
#include <windows.h>

#include <chrono>
#include <map>
#include <sstream>
#include <thread>

#include "common/text.h"
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
    test_support::WaitUntil([] { return sys::OpenProcessByName(L"explorer.exe") != 0; }, std::chrono::seconds(10));
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
  const std::intptr_t process = sys::RunAsDesktopUser(Quoted() + L" one two", false, error, true, L"", false);
  ASSERT_NE(process, 0);
  EXPECT_EQ(error, 0u);
  const auto report = WaitForReport();
  EXPECT_EQ(report.at("cmd"), common::WideToUtf8(Quoted() + L" one two"));
  const HANDLE shell = reinterpret_cast<HANDLE>(sys::OpenProcessByName(L"explorer.exe"));
  ASSERT_NE(shell, nullptr);
  EXPECT_EQ(report.at("elevation"), std::to_string(ElevationTypeOf(shell)));
  CloseHandle(shell);
  sys::CloseProcessHandle(process);
}

TEST_F(Launchers, OwnTokenStartInAGivenFolder) {
  std::uint32_t error = 99;
  const std::intptr_t process = sys::RunAsDesktopUser(Quoted(), true, error, false, root_.Path(), false);
  ASSERT_NE(process, 0);
  EXPECT_EQ(error, 0u);
  const auto report = WaitForReport();
  EXPECT_EQ(report.at("cwd"), common::WideToUtf8(root_.Path()));
  EXPECT_EQ(report.at("elevation"), std::to_string(ElevationTypeOf(GetCurrentProcess())));
  sys::CloseProcessHandle(process);
}

TEST_F(Launchers, WaitingStartReturnsTheExitCode) {
  EXPECT_EQ(sys::RunWithOwnToken(Quoted() + L" exit7", false, L"", true), 7);
  std::uint32_t error = 99;
  EXPECT_EQ(sys::RunAsDesktopUser(Quoted() + L" exit7", false, error, false, L"", true), 7);
  EXPECT_EQ(error, 0u);
}

TEST_F(Launchers, MissingProgramIsReportedWithItsError) {
  std::uint32_t error = 0;
  EXPECT_EQ(sys::RunAsDesktopUser(L"\"" + root_ / L"missing.exe\"", false, error, true, L"", false), 0);
  EXPECT_EQ(error, static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(sys::RunWithOwnToken(L"\"" + root_ / L"missing.exe\"", false, L"", false), 0);
  EXPECT_EQ(sys::StartProgramWithArgs(root_ / L"missing.exe", L"x", L""), 0);
}

TEST_F(Launchers, ProgramWithArgsQuotesProgramAndArgumentAndStartsInItsFolder) {
  const std::intptr_t process = sys::StartProgramWithArgs(probe_, L"Orvatte user", L"");
  ASSERT_NE(process, 0);
  const auto report = WaitForReport();
  EXPECT_EQ(report.at("cmd"), common::WideToUtf8(Quoted() + L" \"Orvatte user\" "));
  EXPECT_EQ(report.at("cwd"), common::WideToUtf8(root_.Path()));
  sys::CloseProcessHandle(process);
}

TEST_F(Launchers, ShellOpenStartsTheProgramInTheGivenFolder) {
  // The test's own working folder is another one, as the installer's is (Downloads, typically).
  wchar_t cwd[MAX_PATH] = L"";
  GetCurrentDirectoryW(MAX_PATH, cwd);
  ASSERT_NE(std::wstring(cwd), root_.Path());
  EXPECT_GT(sys::RunProgram(probe_, sys::kSwShowNormal, sys::ProgramFolder(probe_)), 32);
  EXPECT_EQ(WaitForReport().at("cwd"), common::WideToUtf8(root_.Path()));
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
  const std::intptr_t found = sys::OpenProcessByName(L"sleeper.EXE");
  EXPECT_NE(found, 0);
  sys::CloseProcessHandle(found);

  EXPECT_TRUE(sys::KillProcessByName(L"SLEEPER.exe"));
  for (auto& copy : copies) {
    EXPECT_EQ(WaitForSingleObject(copy.hProcess, 10000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeProcess(copy.hProcess, &code);
    EXPECT_EQ(code, 1u);
    CloseHandle(copy.hThread);
    CloseHandle(copy.hProcess);
  }
  EXPECT_EQ(sys::OpenProcessByName(L"Sleeper.exe"), 0);
  EXPECT_TRUE(sys::KillProcessByName(L"Sleeper.exe"));  // nothing left to end
}

TEST(Processes, VersionAndPrivilege) {
  EXPECT_TRUE(sys::IsVistaOrLater());
  EXPECT_TRUE(sys::EnablePrivilege(sys::kCurrentProcess, L"SeDebugPrivilege"));
  EXPECT_FALSE(sys::EnablePrivilege(sys::kCurrentProcess, L"SeNoSuchPrivilege"));
}

#endif

}  // namespace
