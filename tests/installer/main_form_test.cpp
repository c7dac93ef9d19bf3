// The main window's behaviour driven end to end through the host fakes: the recording view, the
// in-memory registry, the scripted HTTP transport, the recording shell, service manager and
// process list, real files below a temporary folder and real password-protected ZIP packages.
#include "installer/main_form.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string_view>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

#include "common/crypto.h"
#include "common/hex.h"
#include "common/text.h"
#include "installer/config_file.h"
#include "installer/install_folder.h"
#include "net/http_fake.h"
#include "package_password_plain.h"
#include "recording_view.h"
#include "support/openssl_signer.h"
#include "support/pump.h"
#include "support/temp_folder.h"
#include "system/files.h"
#include "system/processes.h"
#include "system/processes_fake.h"
#include "system/registry_fake.h"
#include "system/registry_strings.h"
#include "system/run_folder.h"
#include "system/services_fake.h"
#include "system/shortcuts.h"
#include "system/shortcuts_fake.h"
#include "system/single_instance.h"
#include "system/single_instance_fake.h"
#include "system/startup_entry.h"
#include "system/uninstall_registration.h"
#include "system/worker_thread.h"

namespace installer {
namespace {

namespace fs = std::filesystem;
using testing::RecordingView;

constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\brisklens_win";
constexpr wchar_t kPackageUrl[] = L"http://packages.test/pkg/brisklens.zip";

std::string Config(const std::string& extra = "") {
  return R"({"SoftId":"brisklens_win","Title":"Brisklens 安装","Version":"1.0.1","BigTitle":"Brisklens",)"
         R"("ProgramDirName":"Brisklens","ShortcutName":"Brisklens","MainProg":"Orvatte.exe","MainProgPath":"\\",)"
         R"("XPSupported":false,"RunAsAdmin":true,"ConfigPathForUinstall":"%appdata%\\brisklens_win")" +
         extra + "}";
}

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The value of one query parameter.
std::wstring Param(const net::fake::Request& request, const std::wstring& name) {
  const std::wstring query = L"&" + request.Query() + L"&";
  const std::wstring key = L"&" + name + L"=";
  const auto at = query.find(key);
  if (at == std::wstring::npos) return L"<absent>";
  const auto from = at + key.size();
  return query.substr(from, query.find(L'&', from) - from);
}

// The report name of a request: the last part of its path ("install_fail", "event", ...).
std::wstring Name(const net::fake::Request& request) {
  const std::wstring path = request.Path();
  return path.substr(path.find_last_of(L'/') + 1);
}

class MainFormTest : public ::testing::Test {
 public:  // the failure table's arrangements reach the fixture
  void SetUp() override {
    static const fs::path base = fs::temp_directory_path();  // before TMPDIR points below root_
    root_ = base / ("form_" + std::to_string(::getpid()) + "_" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    for (const char* dir : {"tmp", "local", "roaming", "download", "desktop", "programs"}) fs::create_directories(root_ / dir);
    setenv("TMPDIR", (root_ / "tmp").c_str(), 1);
    setenv("XDG_DATA_HOME", (root_ / "local").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root_ / "roaming").c_str(), 1);
    setenv("PROGRAMFILES", (root_ / "programfiles").c_str(), 1);
    sys::fake_registry::Reset();
    sys::fake_processes::Reset();
    sys::fake_services::Reset();
    sys::fake_instances::Reset();
    context_.http = http_;
    sys::fake_shell::SetFolders((root_ / "desktop").wstring(), (root_ / "programs").wstring());
    std::ofstream(root_ / "download" / "Brisklens_web.exe") << "installer image";
    SetResource(L"configfile", Config());
    context_.exeDir = (root_ / "download").wstring() + L"/";
    context_.exeFileName = L"Brisklens_web.exe";
    context_.resources = {[this](const std::wstring& name) { return resources_.count(name) > 0; },
                          [this](const std::wstring& name) { return resources_.at(name); },
                          [this](const std::wstring& name, const std::wstring& destination) {
                            std::ofstream(fs::path(destination), std::ios::binary) << resources_.at(name);
                            return fs::exists(fs::path(destination));
                          }};
    context_.freeSpace = [this](const std::wstring& drive, std::int64_t& mb) {
      const auto it = drives_.find(drive);
      mb = it == drives_.end() ? 0 : it->second;
      return it != drives_.end();
    };
    NewView();
  }

  // A fresh view whose timeline also receives the blocking requests, in the order they were
  // made; the reports that run on workers are checked through the transport's own list.
  void NewView() {
    view_ = RecordingView();
    view_.whileProcessingMessages = [this] {
      if (whileProcessingMessages_) whileProcessingMessages_();
    };
    seenBlocking_ = 0;
    view_.beforeEvent = [this](std::vector<std::wstring>& timeline) {
      const auto requests = http_->Requests();
      std::size_t blocking = 0;
      for (const auto& r : requests) {
        const std::wstring name = Name(r);
        if (name != L"install_fail" && name != L"event" && name != L"soft_down") continue;
        if (blocking++ < seenBlocking_) continue;
        std::wstring entry = L"report " + name;
        if (name == L"install_fail") entry += L" " + Param(r, L"reason") + L" " + Param(r, L"err");
        if (name == L"event") entry += L" " + Param(r, L"event_id");
        timeline.push_back(entry);
        ++seenBlocking_;
      }
    };
  }

  void TearDown() override {
    // Reports still on their workers wait for the GUI thread, which this test plays.
    testsupport::PumpUntil([] { return sys::WorkerThread::LiveCount() == 0; });
    form_.reset();
    fs::remove_all(root_);
  }

  // The default install folder, as start-up puts it into edtPath.
  std::wstring LocalDir() const { return (root_ / "local").wstring() + L"\\Brisklens"; }
  fs::path InstallDir() const { return root_ / "local" / "Brisklens"; }

  // A package made with the zip tool, protected with the package password.
  std::string Package(const std::string& mainProgram = "main program") {
    const fs::path src = root_ / "pkgsrc";
    const fs::path zip = root_ / "package.zip";
    fs::remove_all(src);
    fs::remove(zip);
    fs::create_directories(src / "data" / "deep");
    std::ofstream(src / "Orvatte.exe") << mainProgram;
    std::ofstream(src / "data" / "deep" / "readme.txt") << "nested";
    std::string password;  // in single quotes for the shell
    for (const char c : std::string_view(kPlainPackagePassword)) password += c == '\'' ? std::string("'\\''") : std::string(1, c);
    const std::string command =
        "cd '" + src.string() + "' && zip -q -r -P '" + password + "' '" + zip.string() + "' .";
    EXPECT_EQ(std::system(command.c_str()), 0);
    return ReadAll(zip);
  }

  void ServeDownload(const std::string& version = "2.0.5", int status = 200, const std::string& extraData = "") {
    ServePackage(Package(), version, status, extraData);
  }

  // The lookup answer (extraData: further members of its "data") and the package bytes it names.
  void ServePackage(const std::string& bytes, const std::string& version, int status, const std::string& extraData) {
    http_->SetAnswer(L"/api/config/soft_down",
                     net::fake::Json(R"({"code":0,"data":{"url":")" + common::WideToUtf8(kPackageUrl) +
                                     R"(","ver":")" + version + "\"" + extraData + "}}"));
    net::fake::Answer package;
    package.status = status;
    package.body = bytes;
    http_->SetAnswer(L"/pkg/brisklens.zip", package);
  }

  TFrmCommInst& Create() {
    form_ = std::make_unique<TFrmCommInst>(view_, context_);
    view_.onCloseQuery = [this] { return form_->FormCloseQuery(); };
    view_.onClose = [this] { form_->FormClose(); };
    form_->FormCreate();
    // The host's extraction takes "/" only, so the install goes to the same folder spelt so.
    startPath_ = view_.texts[Ctl::edtPath];
    if (form_->installMode()) view_.texts[Ctl::edtPath] = InstallDir().wstring();
    return *form_;
  }

  // Every request of the run, once the worker reports have arrived.
  std::vector<net::fake::Request> Requests(std::size_t atLeast) {
    testsupport::PumpUntil([&] { return http_->Requests().size() >= atLeast; }, 5000);
    return http_->Requests();
  }
  std::vector<std::wstring> RequestNames(std::size_t atLeast) {
    std::vector<std::wstring> names;
    for (const auto& r : Requests(atLeast)) names.push_back(Name(r));
    return names;
  }

  // The timeline with the blocking requests made since its last event.
  const std::vector<std::wstring>& Timeline() {
    view_.beforeEvent(view_.timeline);
    return view_.timeline;
  }

  std::wstring Registry(sys::RegRoot root, const std::wstring& key, const std::wstring& name) {
    return sys::ReadRegString(root, key, name);
  }

  // At every chance the window gets to process messages on page, a shutdown asks whether it may go
  // ahead and the window is told to close.
  void AskToCloseWhileOn(Page page) {
    view_.whileProcessingMessages = [this, page] {
      if (view_.page != page) return;
      sessionMayEnd_.push_back(view_.QueryEndSession());
      blockReasons_.push_back(view_.sessionEndBlocked.value_or(L"<not blocked>"));
      view_.CloseWindow();
    };
  }
  void ExpectAllRefused(const std::wstring& reason) {
    view_.whileProcessingMessages = nullptr;
    ASSERT_FALSE(sessionMayEnd_.empty()) << "the operation never let the window process messages";
    EXPECT_EQ(sessionMayEnd_, std::vector<bool>(sessionMayEnd_.size(), false));
    EXPECT_EQ(blockReasons_, std::vector<std::wstring>(blockReasons_.size(), reason));
    EXPECT_EQ(view_.Events(L"close refused").size(), sessionMayEnd_.size());
    EXPECT_FALSE(view_.closed);
    EXPECT_TRUE(http_->RequestsTo(L"/api/report/event").empty()) << "no install_end";
    EXPECT_FALSE(view_.sessionEndBlocked) << "the block is lifted once the operation is over";
    EXPECT_TRUE(view_.QueryEndSession());
  }
  std::vector<bool> sessionMayEnd_;
  std::vector<std::wstring> blockReasons_;

  fs::path root_;
  void SetResource(const std::wstring& name, const std::string& bytes) { resources_[name] = bytes; }

  std::map<std::wstring, std::string> resources_;  // the embedded files
  std::map<std::wstring, std::int64_t> drives_;
  std::shared_ptr<net::fake::ScriptedTransport> http_ = std::make_shared<net::fake::ScriptedTransport>();
  TProcessContext context_;
  RecordingView view_;
  std::unique_ptr<TFrmCommInst> form_;
  std::wstring startPath_;  // edtPath as start-up left it
  std::size_t seenBlocking_ = 0;
  std::function<void()> whileProcessingMessages_;

  static std::string Sha256Hex(const std::string& bytes) {
    crypto::Sha256 digest;
    digest.Update(crypto::ByteSpan(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    return common::WideToUtf8(common::ToHex(digest.Final()));
  }  // runs whenever the form processes messages

  // Applies action to every package file in this product's run folders.
  void PackageFiles(const std::function<bool(const fs::path&)>& action) {
    std::vector<fs::path> files;
    for (const auto& folder : fs::directory_iterator(root_ / "tmp")) {
      if (!folder.path().filename().string().starts_with("inst-brisklens_win-")) continue;
      for (const auto& file : fs::directory_iterator(folder.path())) files.push_back(file.path());
    }
    for (const auto& file : files) action(file);
  }
  std::vector<fs::path> RunFolders() const {
    std::vector<fs::path> folders;
    for (const auto& entry : fs::directory_iterator(root_ / "tmp")) folders.push_back(entry.path());
    return folders;
  }
};

// ---- start-up ------------------------------------------------------------------------------

TEST_F(MainFormTest, StartUpInInstallModePreparesTheWindowAndReportsPreinstall) {
  sys::fake_processes::Processes().running = {L"explorer.exe", L"ORVATTE.EXE"};
  sys::fake_processes::Processes().otherSession = {L"Orvatte.exe"};  // another user's copy
  TFrmCommInst& form = Create();

  EXPECT_TRUE(form.installMode());
  EXPECT_EQ(view_.page, Page::tbInstall);
  EXPECT_EQ(form.config()->ProgramDirName, L"Brisklens");
  EXPECT_EQ(view_.title, L"Brisklens 安装");
  ASSERT_TRUE(view_.productTexts);
  EXPECT_EQ(view_.productTexts->title, L"Brisklens 安装");
  EXPECT_EQ(view_.productTexts->version, L"1.0.1");
  EXPECT_EQ(view_.productTexts->bigTitle, L"Brisklens");
  EXPECT_EQ(view_.productTexts->nameFromExe, L"");
  EXPECT_EQ(startPath_, LocalDir());
  EXPECT_TRUE(fs::is_directory(InstallDir())) << "the default folder is created at once";
  EXPECT_FALSE(view_.folderRowOpen);
  EXPECT_TRUE(view_.tabsHidden);
  EXPECT_FALSE(view_.hiddenAtStart);
  // The source "web" from the file name is valid, so the install starts by itself.
  EXPECT_TRUE(view_.timerEnabled);
  EXPECT_EQ(sys::fake_processes::Processes().terminated, std::vector<std::wstring>{L"ORVATTE.EXE"});
  EXPECT_EQ(sys::fake_processes::Processes().otherSession, std::vector<std::wstring>{L"Orvatte.exe"});

  const auto requests = Requests(1);
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(Name(requests[0]), L"preinstall");
  EXPECT_EQ(Param(requests[0], L"source"), L"web");
  EXPECT_EQ(Param(requests[0], L"curr_ver"), L"1.0.1");
}

TEST_F(MainFormTest, RunModeFollowsTheExactFileNameAndTheFirstArgument) {
  struct Case {
    const wchar_t* exe;
    std::vector<std::wstring> arguments;
    bool installMode;
    bool hidden;
  };
  const Case cases[] = {
      {L"unin.exe", {}, false, false},
      {L"unin.exe", {L"astart"}, false, false},
      {L"Unin.exe", {}, true, false},
      {L"setup.exe", {L"astart"}, true, true},
      {L"setup.exe", {L"x", L"astart"}, true, false},
      {L"setup.exe", {L"ASTART"}, true, false},
  };
  // The uninstaller rows run in a folder where an install of the product left its marker.
  ASSERT_TRUE(WriteInstallMarker((root_ / "download").wstring(), L"brisklens_win"));
  for (const Case& c : cases) {
    NewView();
    context_.exeFileName = c.exe;
    context_.arguments = c.arguments;
    TFrmCommInst& form = Create();
    EXPECT_EQ(form.installMode(), c.installMode) << c.exe;
    EXPECT_EQ(form.autoInstall(), c.hidden) << c.exe;
    EXPECT_EQ(view_.hiddenAtStart, c.hidden) << c.exe;
    EXPECT_EQ(view_.page, c.installMode ? Page::tbInstall : Page::tbUninstall) << c.exe;
    if (c.hidden) {
      EXPECT_TRUE(view_.timerEnabled);
    }
  }
}

TEST_F(MainFormTest, EarlyEndsAtStartUpSendNoReportAndEndWithTheirExitCode) {
  // Empty configuration.
  SetResource(L"configfile", "");
  Create();
  EXPECT_EQ(view_.timeline, (std::vector<std::wstring>{L"dialog config data is empty", L"quit"}));
  EXPECT_EQ(form_->exitCode(), ExitCode::kConfigEmpty);

  // Not JSON.
  NewView();
  SetResource(L"configfile", "{not json");
  Create();
  EXPECT_EQ(view_.timeline, (std::vector<std::wstring>{L"dialog config data is empty", L"quit"}));

  // A maker's key that is no key: damaged, rather than installing without the signature check.
  NewView();
  SetResource(L"configfile", Config(R"(,"PackageKey":")" + std::string(127, 'a') + "\""));
  Create();
  EXPECT_EQ(view_.timeline, (std::vector<std::wstring>{L"dialog config data is empty", L"quit"}));
  EXPECT_EQ(form_->exitCode(), ExitCode::kConfigEmpty);

  // Installed already, and the user opens it (even when started with "astart").
  NewView();
  SetResource(L"configfile", Config());
  sys::WriteRegString(sys::RegRoot::LocalMachine, kUninstallKey, L"DisplayIcon", L"\"C:\\x\\Orvatte.exe\"");
  context_.arguments = {L"astart"};
  view_.checkIfInstalledResult = kOpenInstalledResult;
  Create();
  EXPECT_EQ(view_.timeline, (std::vector<std::wstring>{L"installed? 检测到计算机中已存在此软件，是否为您更新到最新版本？", L"quit"}));
  EXPECT_TRUE(view_.hiddenAtStart);
  EXPECT_EQ(form_->exitCode(), ExitCode::kOpenedInstalled);
  ASSERT_FALSE(sys::fake_processes::Processes().starts.empty());
  EXPECT_EQ(sys::fake_processes::Processes().starts.back().application, L"C:\\x\\Orvatte.exe");
  EXPECT_EQ(sys::fake_processes::Processes().starts.back().currentDir, L"C:\\x");

  // A product that does not ask for administrator rights is opened with the desktop user's, as
  // the install starts it: it lies in a folder the user can change.
  NewView();
  SetResource(L"configfile", Config(R"(,"RunAsAdmin":false)"));
  view_.checkIfInstalledResult = kOpenInstalledResult;
  Create();
  EXPECT_EQ(form_->exitCode(), ExitCode::kOpenedInstalled);
  ASSERT_FALSE(sys::fake_processes::Processes().starts.empty());
  const auto& opened = sys::fake_processes::Processes().starts.back();
  EXPECT_EQ(opened.token, sys::fake_processes::Token::DesktopUser);
  EXPECT_EQ(opened.commandLine, L"\"C:\\x\\Orvatte.exe\"");
  EXPECT_EQ(opened.currentDir, L"C:\\x");

  EXPECT_TRUE(Requests(0).empty()) << "neither preinstall nor install_end";
}

TEST_F(MainFormTest, AConfigurationWithoutAUsableSoftIdIsDamagedAndTouchesNothing) {
  for (const char* softId : {R"("")", R"(".")", R"("..\\..\\Run")", R"("a/b")"}) {
    SCOPED_TRACE(softId);
    sys::fake_registry::Reset();
    NewView();
    std::string config = Config();
    config.replace(config.find(R"("brisklens_win")"), 15, softId);
    SetResource(L"configfile", config);
    Create();
    EXPECT_EQ(view_.timeline, (std::vector<std::wstring>{L"dialog config data is empty", L"quit"}));
    EXPECT_EQ(form_->exitCode(), ExitCode::kConfigEmpty);
    EXPECT_TRUE(sys::fake_registry::SubKeyNames(sys::RegRoot::CurrentUser, L"").empty()) << "nothing written";
  }
  EXPECT_TRUE(Requests(0).empty());
}

TEST_F(MainFormTest, ReinstallingContinuesAfterTheAlreadyInstalledQuestion) {
  sys::WriteRegString(sys::RegRoot::LocalMachine, kUninstallKey, L"DisplayIcon", L"\"C:\\x\\Orvatte.exe\"");
  view_.checkIfInstalledResult = 2;
  Create();
  EXPECT_EQ(view_.page, Page::tbInstall);
  EXPECT_EQ(RequestNames(1), std::vector<std::wstring>{L"preinstall"});
}

// One run per product: a second installer or uninstaller started while the first runs shows the
// first (or says why it cannot) and ends before it writes, creates, ends or reports anything.
TEST_F(MainFormTest, SecondRunOfTheProductEndsBeforeTouchingAnything) {
  const std::wstring name = sys::InstanceName(L"brisklens_win");
  struct Case {
    const char* what;
    const wchar_t* exe;
    bool elsewhere;  // the first run is on another user's desktop
    bool shown;      // the first run shows its window
    std::vector<std::wstring> timeline;
  };
  const Case cases[] = {
      {"installer, first run shown", L"Brisklens_web.exe", false, true, {L"quit"}},
      {"uninstaller, first run shown", L"unin.exe", false, true, {L"quit"}},
      {"installer, first run unattended", L"Brisklens_web.exe", false, false,
       {L"dialog 此软件的安装或卸载正在进行，请等它完成。", L"quit"}},
      {"installer, first run in another session", L"Brisklens_web.exe", true, true,
       {L"dialog 此软件正在另一位用户的会话中安装或卸载，请稍后再试。", L"quit"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sys::fake_instances::Reset();
    sys::fake_registry::Reset();
    sys::fake_processes::Reset();
    sys::fake_processes::Processes().running = {L"Orvatte.exe"};
    http_->Reset();
    fs::remove_all(InstallDir());
    (c.elsewhere ? sys::fake_instances::Instances().heldElsewhere : sys::fake_instances::Instances().heldHere).push_back(name);
    if (c.shown) sys::fake_instances::Instances().shownHere.push_back(name);
    NewView();
    context_.exeFileName = c.exe;
    TFrmCommInst& form = Create();

    EXPECT_EQ(form.exitCode(), ExitCode::kAlreadyRunning);
    EXPECT_EQ(view_.timeline, c.timeline);
    EXPECT_TRUE(view_.hiddenAtStart);
    const std::vector<std::wstring> front = c.shown && !c.elsewhere ? std::vector<std::wstring>{name} : std::vector<std::wstring>{};
    EXPECT_EQ(sys::fake_instances::Instances().broughtToFront, front);
    EXPECT_FALSE(fs::exists(InstallDir())) << "no folder created";
    EXPECT_TRUE(sys::fake_processes::Processes().terminated.empty()) << "the running product is left alone";
    EXPECT_FALSE(sys::fake_registry::KeyExists(sys::RegRoot::CurrentUser, L"SOFTWARE\\brisklens_win")) << "no source recorded";
    EXPECT_TRUE(Requests(0).empty()) << "no report";
    form_.reset();
    EXPECT_EQ(sys::fake_instances::Instances().heldHere.size(), c.elsewhere ? 0u : 1u) << "the first run's claim stays";
  }
}

TEST_F(MainFormTest, ClaimLastsFromStartUpToDestroyAndCoversOneProductOnly) {
  TFrmCommInst& first = Create();
  ASSERT_EQ(first.exitCode(), ExitCode::kCancelled);
  const std::vector<std::wstring> held{sys::InstanceName(L"brisklens_win")};
  EXPECT_EQ(sys::fake_instances::Instances().heldHere, held);

  // Another product runs beside it.
  RecordingView otherView;
  std::string other = Config();
  other.replace(other.find("brisklens_win"), 13, "otherprod_win");
  SetResource(L"configfile", other);
  TFrmCommInst second(otherView, context_);
  second.FormCreate();
  EXPECT_FALSE(second.quitRequested());
  second.FormDestroy();

  first.FormDestroy();
  EXPECT_TRUE(sys::fake_instances::Instances().heldHere.empty());
  SetResource(L"configfile", Config());
  NewView();
  EXPECT_FALSE(Create().quitRequested()) << "a run after the first has ended";
}

// ---- controller ----------------------------------------------------------------------------

TEST_F(MainFormTest, TheDownloadBarFollowsPackagesOfMoreThanTwoAndFourGigabytes) {
  TFrmCommInst& form = Create();
  struct Case {
    std::int64_t total;
    std::int64_t received;
    int bar;
  } cases[] = {
      {5LL << 30, 1LL << 30, 24},   // 5 GiB: 1 GiB in 32 bits
      {3LL << 30, 3LL << 29, 45},   // 3 GiB: negative in 32 bits
      {1LL << 32, 3LL << 30, 62},   // 4 GiB: 0 in 32 bits
  };
  for (const auto& c : cases) {
    form.idhtp1WorkBegin(c.total);
    form.idhtp1Work(c.received);
    EXPECT_EQ(form.progress(), c.bar) << c.total;
  }
}

TEST_F(MainFormTest, CustomInstallToggleExpandsAndCollapses) {
  TFrmCommInst& form = Create();
  form.toggleCustomInstall();
  EXPECT_TRUE(view_.folderRowOpen);
  form.toggleCustomInstall();
  EXPECT_FALSE(view_.folderRowOpen);
}

TEST_F(MainFormTest, CloseButtonBeforeInstallingAsksWithNoAsDefault) {
  TFrmCommInst& form = Create();
  view_.confirmAnswers = {false};
  form.imgbtnCloseClick();
  EXPECT_FALSE(view_.closed);
  EXPECT_EQ(view_.Events(L"confirm"), std::vector<std::wstring>{L"confirm (no) 您确定要退出安装程序吗?"});

  view_.confirmAnswers = {true};
  form.imgbtnCloseClick();
  EXPECT_TRUE(view_.closed);
  EXPECT_EQ(form.exitCode(), ExitCode::kCancelled);
  Timeline();
  EXPECT_EQ(view_.Events(L"report"), std::vector<std::wstring>{L"report event install_end"});
}

TEST_F(MainFormTest, ChangeFolderAppendsTheProgramFolder) {
  TFrmCommInst& form = Create();
  view_.browseAnswer = L"D:\\";
  form.btnChangeInstallClick();
  EXPECT_EQ(view_.texts[Ctl::edtPath], L"D:\\Brisklens");
  view_.browseAnswer = L"D:\\Apps";
  form.btnChangeInstallClick();
  EXPECT_EQ(view_.texts[Ctl::edtPath], L"D:\\Apps\\Brisklens");
  view_.browseAnswer.reset();
  form.btnChangeInstallClick();
  EXPECT_EQ(view_.texts[Ctl::edtPath], L"D:\\Apps\\Brisklens");
  EXPECT_EQ(view_.Events(L"browse").front(), L"browse 请选择软件安装目录");
}

// ---- install -------------------------------------------------------------------------------

TEST_F(MainFormTest, DownloadedInstallRegistersEverythingAndStartsTheProduct) {
  SetResource(L"configfile",
                           Config(R"(,"AssociatedExts":"*.jpg|*.png","ProtocalRootKeyName":"brisk","Protocalname":"Brisk",)"
                                  R"("RunAtStartup":true,"OpenWebsiteAfterInstall":"http://site.test/?v=[VERSION]&f=[From]")"));
  std::ofstream(root_ / "download" / "config.dat") << "channel data";
  ServeDownload("2.0.5");
  TFrmCommInst& form = Create();
  form.btnInstallClick();

  EXPECT_EQ(form.installStatus(), kInstalled);
  EXPECT_EQ(form.exitCode(), ExitCode::kInstalled);
  EXPECT_EQ(view_.pages, (std::vector<Page>{Page::tbInstall, Page::tbProcess, Page::tbFinish}));
  EXPECT_EQ(view_.texts[Ctl::lblPercentNum], L"100%");
  EXPECT_EQ(view_.progressValues.back(), 100);
  EXPECT_TRUE(view_.visible[Ctl::imgbtnClose]);
  EXPECT_TRUE(view_.enabled[Ctl::imgbtnClose]);
  EXPECT_TRUE(view_.enabled[Ctl::btnInstall]);

  // Files: the package, the uninstaller, config.dat.
  const fs::path dir = InstallDir();
  EXPECT_EQ(ReadAll(dir / "Orvatte.exe"), "main program");
  EXPECT_EQ(ReadAll(dir / "data" / "deep" / "readme.txt"), "nested");
  EXPECT_EQ(ReadAll(dir / "unin.exe"), "installer image");
  EXPECT_EQ(ReadAll(dir / "config.dat"), "channel data");

  // Links.
  const std::wstring mainProg = InstallDir().wstring() + L"\\Orvatte.exe";
  EXPECT_EQ(form.getMainProgPath(), mainProg);
  EXPECT_TRUE(sys::fake_shell::LinkAt(sys::DesktopShortcutPath(mainProg, L"Brisklens")));
  EXPECT_TRUE(sys::fake_shell::LinkAt(sys::StartMenuShortcutPath(mainProg, L"Brisklens", L"Brisklens")));
  EXPECT_TRUE(sys::fake_shell::LinkAt(sys::StartMenuShortcutPath(InstallDir().wstring() + L"\\unin.exe", L"Brisklens", L"卸载软件")));

  // Registry: the server's version in the uninstall registration, associations, protocol, Run.
  EXPECT_EQ(Registry(sys::RegRoot::LocalMachine, kUninstallKey, L"DisplayVersion"), L"2.0.5");
  EXPECT_EQ(Registry(sys::RegRoot::LocalMachine, kUninstallKey, L"DisplayName"), L"Brisklens");
  EXPECT_NE(Registry(sys::RegRoot::LocalMachine, kUninstallKey, L"UninstallString").find(InstallDir().wstring() + L"\\unin.exe"),
            std::wstring::npos);
  const auto text = [](sys::RegRoot root, const std::wstring& key, sys::fake_registry::View view) {
    const auto value = sys::fake_registry::GetValue(root, key, L"", view);
    return value ? sys::reg::StringFromData(value->data) : L"<none>";
  };
  using sys::fake_registry::View;
  EXPECT_EQ(text(sys::RegRoot::ClassesRoot, L".jpg", View::Bits32), L"jpgFile");
  EXPECT_EQ(text(sys::RegRoot::ClassesRoot, L".png", View::Bits32), L"pngFile");
  EXPECT_EQ(text(sys::RegRoot::ClassesRoot, L"pngFile", View::Bits32), L"pngFile");
  EXPECT_NE(text(sys::RegRoot::ClassesRoot, L"brisk\\shell\\open\\command", View::Bits64).find(mainProg), std::wstring::npos);
  EXPECT_FALSE(Registry(sys::RegRoot::CurrentUser, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", L"brisklens_win").empty());

  // The product started with our own rights.
  const auto& starts = sys::fake_processes::Processes().starts;
  ASSERT_FALSE(starts.empty());
  EXPECT_EQ(starts.back().application, mainProg);

  // Reports: preinstall, install (with the configured version), the lookup; later ones carry
  // the server's version.
  // The reports on workers may reach the server in any order.
  std::vector<std::wstring> names = RequestNames(4);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::wstring>{L"brisklens.zip", L"install", L"preinstall", L"soft_down"}));
  EXPECT_EQ(Param(http_->RequestsTo(L"/api/report/install").at(0), L"curr_ver"), L"1.0.1");

  // The close button now does what "安装完成" does.
  form.imgbtnCloseClick();
  EXPECT_TRUE(view_.closed);
  EXPECT_TRUE(view_.Events(L"confirm").empty());
  // The web page opens with the desktop user's rights, never ours.
  const auto& page = sys::fake_processes::Processes().starts.back();
  EXPECT_EQ(page.token, sys::fake_processes::Token::DesktopUser);
  EXPECT_EQ(page.show, sys::kSwShowMaximized);
  EXPECT_EQ(page.commandLine, sys::WebPageCommandLine(L"http://site.test/?v=2.0.5&f=web"));
  const auto end = http_->RequestsTo(L"/api/report/event");
  ASSERT_EQ(end.size(), 1u);
  EXPECT_EQ(Param(end[0], L"event_id"), L"install_end");
  EXPECT_EQ(Param(end[0], L"curr_ver"), L"2.0.5");
}

TEST_F(MainFormTest, OnlyItemsThatNameAnExtensionAreAssociated) {
  SetResource(L"configfile", Config(R"(,"AssociatedExts":"*.txt|*|*.*||.|*.a\\b|*.png|")"));
  ServeDownload();
  TFrmCommInst& form = Create();
  form.btnInstallClick();
  ASSERT_EQ(form.installStatus(), kInstalled);
  using sys::fake_registry::View;
  std::vector<std::wstring> classes = sys::fake_registry::SubKeyNames(sys::RegRoot::ClassesRoot, L"", View::Bits32);
  std::sort(classes.begin(), classes.end());
  EXPECT_EQ(classes, (std::vector<std::wstring>{L".png", L".txt", L"pngFile", L"txtFile"}));
  EXPECT_TRUE(sys::fake_registry::ValueNames(sys::RegRoot::ClassesRoot, L"", View::Bits32).empty())
      << "the classes root's own default value is left alone";
  std::vector<std::wstring> choices = sys::fake_registry::SubKeyNames(
      sys::RegRoot::CurrentUser, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts");
  std::sort(choices.begin(), choices.end());
  EXPECT_EQ(choices, (std::vector<std::wstring>{L".png", L".txt"}));
}

TEST_F(MainFormTest, TheBarAndItsLabelAgreeFromTheFirstPaint) {
  ServeDownload();
  TFrmCommInst& form = Create();
  form.btnInstallClick();
  ASSERT_EQ(form.installStatus(), kInstalled);
  ASSERT_TRUE(view_.progressWhenShown);
  EXPECT_EQ(*view_.progressWhenShown, std::make_pair(0, std::wstring(L"0%")));
  EXPECT_TRUE(std::is_sorted(view_.progressValues.begin(), view_.progressValues.end())) << "the bar never goes back";
}

TEST_F(MainFormTest, EachFatalFailureReportsThenTellsThenQuits) {
  struct Case {
    const char* name;
    std::function<void(MainFormTest&)> arrange;
    std::wstring reason;
    std::wstring message;
    ExitCode exit;
  };
  const std::wstring askSupport = L"dialog 安装失败，请联系官网客服获取免安装包！";
  const std::wstring blocked = L"dialog 文件解压失败，可能是被杀毒软件拦截导致，建议退出杀毒软件后重试！";
  const Case cases[] = {
      {"lookup refused",
       [](MainFormTest& t) { t.http_->SetAnswer(L"/api/config/soft_down", net::fake::Json(R"({"code":1})")); },
       L"url_empty", askSupport, ExitCode::kUrlEmpty},
      {"no address, no retry",
       [](MainFormTest& t) {
         t.http_->SetAnswer(L"/api/config/soft_down", net::fake::Json(R"({"code":0,"data":{"url":""}})"));
       },
       L"GetSoftDownloadInfo", askSupport, ExitCode::kGetSoftDownloadInfo},
      {"package 404", [](MainFormTest& t) { t.ServeDownload("2.0", 404); }, L"download_zip_fail", askSupport,
       ExitCode::kDownloadZipFail},
      {"package 301", [](MainFormTest& t) { t.ServeDownload("2.0", 301); }, L"download_zip_fail", askSupport,
       ExitCode::kDownloadZipFail},
      {"digest mismatch",
       [](MainFormTest& t) { t.ServeDownload("2.0", 200, R"(,"sha256":")" + std::string(64, 'a') + "\""); },
       L"download_zip_fail", askSupport, ExitCode::kDownloadZipFail},
      {"package removed before extraction",
       [](MainFormTest& t) {
         t.ServeDownload();
         // A virus scanner takes the file away as soon as the download has ended.
         t.whileProcessingMessages_ = [&t] {
           if (t.form_ && t.form_->downloadStatus() == kDownloadDone) {
             t.PackageFiles([](const fs::path& file) { return fs::remove(file); });
           }
         };
       },
       L"zip_file_not_exist", blocked, ExitCode::kZipFileNotExist},
      {"not a zip",
       [](MainFormTest& t) {
         t.http_->SetAnswer(L"/api/config/soft_down",
                            net::fake::Json(R"({"code":0,"data":{"url":"http://packages.test/pkg/x.zip","ver":"2"}})"));
         net::fake::Answer garbage;
         garbage.body = "this is not an archive";
         t.http_->SetAnswer(L"/pkg/x.zip", garbage);
       },
       L"unzip_failed", blocked, ExitCode::kUnzipFailed},
      {"embedded package not written out",
       [](MainFormTest& t) {
         t.SetResource(L"zipfile", t.Package());
         t.context_.resources.extract = [](const std::wstring&, const std::wstring&) { return false; };
       },
       L"CreateResFile", L"box 资源不存在,安装包已损坏!", ExitCode::kCreateResFile},
  };
  const TEmbeddedFiles files = context_.resources;
  for (bool unattended : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (unattended ? " unattended" : ""));
      http_->Reset();
      resources_.erase(L"zipfile");
      context_.resources = files;
      SetResource(L"configfile", Config());
      whileProcessingMessages_ = nullptr;
      c.arrange(*this);
      NewView();
      context_.arguments = unattended ? std::vector<std::wstring>{L"astart"} : std::vector<std::wstring>{};
      TFrmCommInst& form = Create();
      if (unattended) {
        form.tmrAutoInstTimer();
      } else {
        form.btnInstallClick();
      }
      std::vector<std::wstring> expected{L"report install_fail " + c.reason + L" 0", c.message, L"quit"};
      if (unattended) expected.insert(expected.end(), {L"close", L"report event install_end"});
      const auto& timeline = Timeline();
      std::vector<std::wstring> tail(timeline.end() - std::min(timeline.size(), expected.size()), timeline.end());
      EXPECT_EQ(tail, expected);
      EXPECT_EQ(form.exitCode(), c.exit);
      EXPECT_EQ(form.installStatus(), kInstallUnderWay);
      EXPECT_EQ(view_.page, Page::tbProcess);
      EXPECT_TRUE(view_.visible[Ctl::imgbtnClose]);
      EXPECT_TRUE(view_.enabled[Ctl::btnInstall]);
      EXPECT_TRUE(RunFolders().empty()) << "the package's folder goes whatever the outcome";
    }
  }
}

// The package is checked and extracted through one open file: what happens to the path after the
// check does not reach the install folder.
TEST_F(MainFormTest, PackageReplacedAfterItsCheckIsNotWhatGetsExtracted) {
  ServeDownload("2.0");
  http_->SetAnswer(L"/api/config/soft_down",
                   net::fake::Json(R"({"code":0,"data":{"url":")" + common::WideToUtf8(kPackageUrl) +
                                   R"(","ver":"2","sha256":")" + Sha256Hex(ReadAll(root_ / "package.zip")) + "\"}}"));
  const std::string other = Package("another program");
  // The first messages processed after the download's end deliver that end; the next ones come
  // after the check.
  int sinceDownloaded = 0;
  whileProcessingMessages_ = [this, &other, &sinceDownloaded] {
    if (form_ && form_->downloadStatus() == kDownloadDone && ++sinceDownloaded == 2) {
      PackageFiles([&other](const fs::path& file) {
        const fs::path swapped = file.string() + ".new";
        std::ofstream(swapped, std::ios::binary) << other;
        fs::rename(swapped, file);
        return true;
      });
    }
  };
  TFrmCommInst& form = Create();
  form.btnInstallClick();
  ASSERT_EQ(form.installStatus(), kInstalled);
  EXPECT_EQ(ReadAll(InstallDir() / "Orvatte.exe"), "main program");
  EXPECT_TRUE(RunFolders().empty());
}

// A run that was killed leaves its folder behind; the next run of the same product removes it,
// but not a folder that a running instance holds, nor another product's, nor a link.
TEST_F(MainFormTest, FoldersOfKilledRunsGoButNotThoseInUseOrNotOurs) {
  const fs::path tmp = root_ / "tmp";
  const fs::path abandoned = tmp / "inst-brisklens_win-00112233aabbccdd";
  fs::create_directory(abandoned);
  std::ofstream(abandoned / "0011.zip") << "half a package";
  const fs::path otherProduct = tmp / "inst-otherprod-00112233aabbccdd";
  fs::create_directory(otherProduct);
  const fs::path victim = root_ / "victim";
  fs::create_directory(victim);
  std::ofstream(victim / "keep.txt") << "user's file";
  fs::create_directory_symlink(victim, tmp / "inst-brisklens_win-link");
  const std::unique_ptr<sys::RunFolder> running = sys::RunFolder::Create(L"inst-brisklens_win-");
  ASSERT_TRUE(running);
  std::ofstream(test_support::FsPath(running->NewFilePath(L".zip"))) << "another instance's package";

  ServeDownload();
  TFrmCommInst& form = Create();
  form.btnInstallClick();
  ASSERT_EQ(form.installStatus(), kInstalled);
  EXPECT_FALSE(fs::exists(abandoned));
  EXPECT_TRUE(fs::exists(otherProduct));
  EXPECT_TRUE(fs::is_symlink(tmp / "inst-brisklens_win-link"));
  EXPECT_TRUE(fs::exists(victim / "keep.txt"));
  EXPECT_EQ(std::distance(fs::directory_iterator(test_support::FsPath(running->Path())), fs::directory_iterator()), 1);
  EXPECT_EQ(RunFolders().size(), 3u) << "ours is gone too";
}

TEST_F(MainFormTest, EmptyAddressIsRetriedWhileTheUserAsks) {
  http_->SetAnswers(L"/api/config/soft_down",
                    {net::fake::Json(R"({"code":0,"data":{"url":""}})"), net::fake::Json(R"({"code":0,"data":{"url":""}})"),
                     net::fake::Json(R"({"code":0,"data":{"url":"http://packages.test/pkg/brisklens.zip","ver":"3"}})")});
  net::fake::Answer package;
  package.body = Package();
  http_->SetAnswer(L"/pkg/brisklens.zip", package);
  view_.yesNoAnswers = {true, true};
  TFrmCommInst& form = Create();
  form.btnInstallClick();
  EXPECT_EQ(view_.Events(L"ask").size(), 2u);
  EXPECT_EQ(view_.Events(L"ask").front(), L"ask 警告 网络连接异常，是否尝试重连？");
  EXPECT_EQ(http_->RequestsTo(L"/api/config/soft_down").size(), 3u);
  EXPECT_EQ(form.installStatus(), kInstalled);
}

TEST_F(MainFormTest, DownloadEndsWellUpToStatusThreeHundred) {
  TFrmCommInst& form = Create();
  const std::pair<std::int64_t, int> cases[] = {{-2, kDownloadFailed}, {-1, kDownloadFailed}, {0, kDownloadDone},
                                                {200, kDownloadDone}, {300, kDownloadDone}, {301, kDownloadFailed},
                                                {404, kDownloadFailed}};
  for (auto [code, status] : cases) {
    form.idhtp1WorkFinish(code);
    EXPECT_EQ(form.downloadStatus(), status) << code;
  }
  form.idhtp1WorkBegin(1000);
  EXPECT_EQ(form.downloadStatus(), kDownloadBegun);
  form.idhtp1Work(500);
  EXPECT_EQ(form.progress(), 45);
  EXPECT_EQ(view_.texts[Ctl::lblPercentNum], L"45%");
}

TEST_F(MainFormTest, MatchingDigestIsInstalled) {
  ServeDownload("2.0");
  const std::string package = ReadAll(root_ / "package.zip");
  crypto::Sha256 digest;
  digest.Update(crypto::ByteSpan(reinterpret_cast<const std::uint8_t*>(package.data()), package.size()));
  std::string hex;
  for (std::uint8_t b : digest.Final()) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    hex += kDigits[b >> 4];
    hex += kDigits[b & 15];
  }
  http_->SetAnswer(L"/api/config/soft_down",
                   net::fake::Json(R"({"code":0,"data":{"url":")" + common::WideToUtf8(kPackageUrl) +
                                   R"(","ver":"2","sha256":")" + hex + "\"}}"));
  TFrmCommInst& form = Create();
  form.btnInstallClick();
  EXPECT_EQ(form.installStatus(), kInstalled);
}

// The product carries the maker's key: a download is installed only with the maker's signature of
// exactly the bytes served, and a refused package is reported like a digest mismatch, with nothing
// extracted. The signatures come from libcrypto, not from our own code.
TEST_F(MainFormTest, WithTheMakersKeyOnlyTheMakersSignatureOfThePackageInstalls) {
  const testing_support::OpensslSigner maker;
  const testing_support::OpensslSigner stranger;
  const std::string key = common::WideToUtf8(common::ToHex(maker.PublicKey()));
  auto hex = [](const std::vector<std::uint8_t>& bytes) { return common::WideToUtf8(common::ToHex(bytes)); };
  const struct {
    const char* name;
    std::function<std::string(const std::string& package)> extraData;  // members added to "data"
    bool installs;
  } cases[] = {
      {"signed", [&](const std::string& p) { return R"(,"sig":")" + hex(maker.Sign(p)) + "\""; }, true},
      {"signed, with its digest",
       [&](const std::string& p) {
         crypto::Sha256 digest;
         digest.Update(crypto::ByteSpan(reinterpret_cast<const std::uint8_t*>(p.data()), p.size()));
         return R"(,"sig":")" + hex(maker.Sign(p)) + R"(","sha256":")" + hex(digest.Final()) + "\"";
       },
       true},
      {"signed, digest of another file",
       [&](const std::string& p) { return R"(,"sig":")" + hex(maker.Sign(p)) + R"(","sha256":")" + std::string(64, 'a') + "\""; },
       false},
      {"package swapped: signature of another package",
       [&](const std::string& p) { return R"(,"sig":")" + hex(maker.Sign(p + "x")) + "\""; }, false},
      {"signed by another key", [&](const std::string& p) { return R"(,"sig":")" + hex(stranger.Sign(p)) + "\""; }, false},
      {"no signature", [](const std::string&) { return std::string(); }, false},
      {"empty signature", [](const std::string&) { return std::string(R"(,"sig":"")"); }, false},
      {"malformed signature", [](const std::string&) { return std::string(R"(,"sig":"not hex")"); }, false},
      {"signature as a number", [](const std::string&) { return std::string(R"(,"sig":12345)"); }, false},
      {"signature cut short",
       [&](const std::string& p) { return R"(,"sig":")" + hex(maker.Sign(p)).substr(0, 126) + "\""; }, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    http_->Reset();
    fs::remove_all(InstallDir());
    SetResource(L"configfile", Config(R"(,"PackageKey":")" + key + "\""));
    const std::string package = Package();
    ServePackage(package, "2.0", 200, c.extraData(package));
    NewView();
    TFrmCommInst& form = Create();
    form.btnInstallClick();
    if (c.installs) {
      EXPECT_EQ(form.installStatus(), kInstalled);
      EXPECT_TRUE(fs::exists(InstallDir() / "Orvatte.exe"));
      continue;
    }
    EXPECT_EQ(view_.Events(L"report install_fail"), std::vector<std::wstring>{L"report install_fail download_zip_fail 0"});
    EXPECT_EQ(form.exitCode(), ExitCode::kDownloadZipFail);
    EXPECT_FALSE(fs::exists(InstallDir() / "Orvatte.exe"));
    EXPECT_TRUE(RunFolders().empty()) << "the refused package is not left behind";
  }
}

// Without a key nothing changes: a "sig" in the answer is not looked at; an embedded package is
// covered by the installer's own file and needs no signature either way.
TEST_F(MainFormTest, SignatureIsAskedForOnlyOfADownloadForAProductWithAKey) {
  ServeDownload("2.0", 200, R"(,"sig":"not hex")");
  TFrmCommInst& form = Create();
  form.btnInstallClick();
  EXPECT_EQ(form.installStatus(), kInstalled);

  const testing_support::OpensslSigner maker;
  SetResource(L"configfile", Config(R"(,"PackageKey":")" + common::WideToUtf8(common::ToHex(maker.PublicKey())) + "\""));
  SetResource(L"zipfile", Package());
  fs::remove_all(InstallDir());
  http_->Reset();
  NewView();
  TFrmCommInst& embedded = Create();
  embedded.btnInstallClick();
  EXPECT_EQ(embedded.installStatus(), kInstalled);
  EXPECT_TRUE(fs::exists(InstallDir() / "Orvatte.exe"));
  EXPECT_TRUE(http_->RequestsTo(L"/api/config/soft_down").empty());
}

TEST_F(MainFormTest, NoDriveWithRoomEndsTheInstall) {
  drives_ = {{L"C:", 150}, {L"D:", 10}};
  view_.texts[Ctl::edtPath] = L"D:\\Brisklens";
  TFrmCommInst& form = Create();
  view_.texts[Ctl::edtPath] = L"D:\\Brisklens";
  form.btnInstallClick();
  EXPECT_EQ(view_.Events(L"dialog"),
            std::vector<std::wstring>{L"dialog 当前分区空间不足，剩余空间小于150M! 请重新选择另一分区安装"});
  EXPECT_TRUE(view_.quitPosted);
  EXPECT_EQ(form.exitCode(), ExitCode::kNotEnoughSpace);
  EXPECT_EQ(form.installStatus(), kInstallNothingDone);
  EXPECT_TRUE(http_->RequestsTo(L"/api/report/install").empty());
}

// Every entry of folder, by name, with the content of each file.
std::map<std::string, std::string> Contents(const fs::path& folder) {
  std::map<std::string, std::string> found;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    found[fs::relative(entry.path(), folder).string()] = entry.is_directory() ? "<folder>" : ReadAll(entry.path());
  }
  return found;
}

TEST_F(MainFormTest, FolderHoldingTheUsersFilesIsRefusedAndAnEmptyOneAccepted) {
  const fs::path work = root_ / "Documents" / "Work";
  fs::create_directories(work / "sub");
  std::ofstream(work / "letter.txt") << "mine";
  std::ofstream(work / "sub" / "notes.txt") << "mine too";
  const auto before = Contents(work);
  ServeDownload();
  TFrmCommInst& form = Create();
  view_.texts[Ctl::edtPath] = work.wstring() + L"\\";
  form.btnInstallClick();
  Timeline();
  EXPECT_EQ(view_.Events(L"dialog"), std::vector<std::wstring>{L"dialog 所选文件夹中已有其他文件，请选择空文件夹或新建文件夹！"});
  EXPECT_EQ(view_.page, Page::tbInstall);
  EXPECT_FALSE(view_.quitPosted);
  EXPECT_EQ(form.installStatus(), kInstallNothingDone);
  EXPECT_TRUE(view_.enabled[Ctl::btnInstall]);
  EXPECT_TRUE(view_.Events(L"report").empty()) << "an attended refusal is no failure of the install";
  EXPECT_EQ(Contents(work), before) << "nothing written";
  EXPECT_EQ(RequestNames(1), std::vector<std::wstring>{L"preinstall"});

  // The user picks an empty folder and presses the button again.
  fs::create_directories(root_ / "Documents" / "Empty");
  view_.texts[Ctl::edtPath] = (root_ / "Documents" / "Empty").wstring();
  form.btnInstallClick();
  EXPECT_EQ(form.installStatus(), kInstalled);
  EXPECT_EQ(ReadAll(root_ / "Documents" / "Empty" / "Orvatte.exe"), "main program");
  EXPECT_EQ(ReadAll(root_ / "Documents" / "Empty" / "install.marker"), "brisklens_win");
}

TEST_F(MainFormTest, RefusedFolderEndsAnUnattendedInstallWithItsReasonAndExitCode) {
  struct Case {
    const char* name;
    std::wstring folder;
    std::wstring message;
  };
  fs::create_directories(root_ / "Data" / "sub");
  std::ofstream(root_ / "Data" / "table.csv") << "1,2";
  std::ofstream(root_ / "file.txt") << "x";
  const Case cases[] = {
      {"relative", L"Brisklens", L"请填写本地磁盘上的完整安装路径！"},
      {"invalid name", (root_ / "a|b").wstring(), L"安装路径含有无效的字符或名称，请修改！"},
      {"too long", (root_ / std::string(kMaxInstallDirLength, 'x')).wstring(), L"安装路径太长，请选择较短的路径！"},
      {"a file", (root_ / "file.txt").wstring(), L"安装路径已被文件或链接占用，请重新选择！"},
      {"application data", (root_ / "roaming").wstring(), L"不能安装到系统目录或个人文件夹，请重新选择！"},
      {"user's files", (root_ / "Data").wstring(), L"所选文件夹中已有其他文件，请选择空文件夹或新建文件夹！"},
  };
  const auto before = Contents(root_ / "Data");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    http_->Reset();
    ServeDownload();
    NewView();
    context_.arguments = {L"astart"};
    TFrmCommInst& form = Create();
    view_.texts[Ctl::edtPath] = c.folder;
    form.tmrAutoInstTimer();
    const std::vector<std::wstring> expected{L"report install_fail install_dir_refused 0", L"dialog " + c.message,
                                             L"quit", L"close", L"report event install_end"};
    const auto& timeline = Timeline();
    std::vector<std::wstring> tail(timeline.end() - std::min(timeline.size(), expected.size()), timeline.end());
    EXPECT_EQ(tail, expected);
    EXPECT_EQ(form.exitCode(), ExitCode::kInstallDirRefused);
    EXPECT_EQ(ToInt(form.exitCode()), 14);
    EXPECT_EQ(form.installStatus(), kInstallNothingDone);
    EXPECT_TRUE(http_->RequestsTo(L"/api/config/soft_down").empty()) << "nothing obtained";
  }
  EXPECT_EQ(Contents(root_ / "Data"), before);
  EXPECT_EQ(ReadAll(root_ / "file.txt"), "x");
}

TEST_F(MainFormTest, ProgramThatCannotStartIsReportedAndRetriedOnRequest) {
  ServeDownload();
  sys::fake_processes::Processes().startsFail = true;
  view_.confirmAnswers = {true, false};
  TFrmCommInst& form = Create();
  form.btnInstallClick();
  Timeline();
  EXPECT_EQ(view_.Events(L"report install_fail"), std::vector<std::wstring>{L"report install_fail run_exe_failed 0"});
  EXPECT_EQ(view_.Events(L"confirm").size(), 2u);
  EXPECT_EQ(view_.Events(L"confirm").front(),
            L"confirm (yes) 软件启动失败，可能是杀毒软件拦截所致！请先暂停杀毒软件再继续。是否重试？");
  EXPECT_EQ(form.installStatus(), kInstalled);
  EXPECT_EQ(view_.page, Page::tbFinish);
  EXPECT_FALSE(view_.quitPosted);
  EXPECT_EQ(form.exitCode(), ExitCode::kInstalled);
}

TEST_F(MainFormTest, RegistrationRunsEveryConfiguredStepInOrder) {
  std::string config = Config(R"(,"RegDllName":"a.dll","RegDllName3":"c.dll","RunAtStartup":true,"StartupByService":true,)"
                              R"("ServiceExeFileName":"svc.exe","AfterInstBat1":"post1.bat","AfterInstBat2":"post2.bat")");
  config.replace(config.find("brisklens_win"), 13, "vornhalt_companion");
  SetResource(L"configfile", config);
  ServeDownload();
  TFrmCommInst& form = Create();
  form.btnInstallClick();
  ASSERT_EQ(form.installStatus(), kInstalled);

  const std::wstring dir = InstallDir().wstring();
  // The empty service name is only pointed out; the companion program is opened with "asso".
  EXPECT_EQ(view_.Events(L"box"), std::vector<std::wstring>{L"box 服务名未填"});
  // regsvr32 is named by its full path in the system folder, never found by a search.
  const std::wstring regsvr32 = sys::SystemProgramPath(L"regsvr32.exe");
  EXPECT_EQ(view_.Events(L"shell"), (std::vector<std::wstring>{
                                        L"shell " + regsvr32 + L" [/s-  \"" + dir + L"\\a.dll\"] 0",
                                        L"shell " + regsvr32 + L" [/s-  \"" + dir + L"\\c.dll\"] 0",
                                        L"shell " + dir + L"\\assoc_setup.exe [asso] 1 owned in " + dir,
                                    }));
  // The after-install files run hidden through the system's command interpreter, in their folder.
  std::vector<std::wstring> hidden;
  for (const auto& start : sys::fake_processes::Processes().starts) {
    if (start.show == sys::kSwHide) hidden.push_back(start.currentDir + L" | " + start.commandLine);
  }
  EXPECT_EQ(hidden, (std::vector<std::wstring>{dir + L" | " + sys::CommandInterpreterLine(L"post1.bat"),
                                               dir + L" | " + sys::CommandInterpreterLine(L"post2.bat")}));
}

// A service runs as SYSTEM: its program must not lie where a program of the user can replace it.
constexpr char kServiceConfig[] = R"(,"RunAtStartup":true,"StartupByService":true,"ServiceName":"BrisklensSvc",)"
                                  R"("ServiceExeFileName":"Orvatte.exe")";

TEST_F(MainFormTest, ServiceProductGoesToProgramFilesIntoAFolderOnlyAdministratorsChange) {
  SetResource(L"configfile", Config(kServiceConfig));
  fs::create_directories(root_ / "programfiles");
  fs::permissions(root_ / "programfiles", fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                               fs::perms::others_read | fs::perms::others_exec);
  ServeDownload();
  TFrmCommInst& form = Create();
  const fs::path dir = root_ / "programfiles" / "Brisklens";
  EXPECT_EQ(startPath_, (root_ / "programfiles").wstring() + L"\\Brisklens");
  // The folder was left open to everyone by someone before.
  fs::permissions(dir, fs::perms::all);
  ASSERT_EQ(::chown(dir.c_str(), 65534, 65534), 0);
  view_.texts[Ctl::edtPath] = dir.wstring();
  form.btnInstallClick();
  ASSERT_EQ(form.installStatus(), kInstalled);
  struct stat info {};
  ASSERT_EQ(::stat(dir.c_str(), &info), 0);
  EXPECT_EQ(info.st_uid, 0u);
  EXPECT_EQ(info.st_mode & 07777, 0755u);
  EXPECT_EQ(ReadAll(dir / "Orvatte.exe"), "main program");
  const auto& services = sys::fake_services::Services().services;
  ASSERT_EQ(services.count(L"BrisklensSvc"), 1u);
  EXPECT_TRUE(services.at(L"BrisklensSvc").binaryPath.starts_with(L"\"" + dir.wstring())) << "the service's program is there";
}

// An earlier version was installed into the user's folder, with its service running the program
// there: the new install's service runs the program in Program Files instead.
TEST_F(MainFormTest, ServiceOfAnEarlierInstallInTheUsersFolderRunsTheNewProgram) {
  SetResource(L"configfile", Config(kServiceConfig));
  sys::fake_services::Services().services[L"BrisklensSvc"] = {
      L"Brisklens", L"\"" + LocalDir() + L"\\Orvatte.exe\"", true, sys::fake_services::State::Running};
  ServeDownload();
  TFrmCommInst& form = Create();
  const fs::path dir = root_ / "programfiles" / "Brisklens";
  view_.texts[Ctl::edtPath] = dir.wstring();
  form.btnInstallClick();
  ASSERT_EQ(form.installStatus(), kInstalled);
  const auto& service = sys::fake_services::Services().services.at(L"BrisklensSvc");
  EXPECT_TRUE(service.binaryPath.starts_with(L"\"" + dir.wstring())) << common::WideToUtf8(service.binaryPath);
  EXPECT_EQ(service.displayName, L"Brisklens");
}

TEST_F(MainFormTest, OtherProductsKeepTheUsersFolderAndItsRights) {
  for (const char* config : {"", R"(,"RunAtStartup":true)", R"(,"StartupByService":true)"}) {
    SCOPED_TRACE(config);
    fs::remove_all(InstallDir());
    http_->Reset();
    NewView();
    SetResource(L"configfile", Config(config));
    TFrmCommInst& form = Create();
    EXPECT_EQ(startPath_, LocalDir());
    fs::permissions(InstallDir(), fs::perms::all);
    ServeDownload();
    form.btnInstallClick();
    ASSERT_EQ(form.installStatus(), kInstalled);
    EXPECT_EQ(fs::status(InstallDir()).permissions(), fs::perms::all) << "its rights are left as they were";
  }
}

// A folder below one that users may change is refused for a service product, with its message,
// before anything is written; the same folder is fine for any other product.
TEST_F(MainFormTest, ServiceProductRefusesAFolderWithinUsersReach) {
  const fs::path shared = root_ / "shared";
  const fs::path owned = root_ / "owned";
  fs::create_directories(shared);
  fs::create_directories(owned);
  fs::permissions(shared, fs::perms::all);
  ASSERT_EQ(::chown(owned.c_str(), 65534, 65534), 0);
  for (const fs::path& parent : {shared, owned}) {
    SCOPED_TRACE(parent.string());
    http_->Reset();
    ServeDownload();
    NewView();
    SetResource(L"configfile", Config(kServiceConfig));
    context_.arguments = {L"astart"};
    TFrmCommInst& form = Create();
    view_.texts[Ctl::edtPath] = (parent / "Brisklens").wstring();
    form.tmrAutoInstTimer();
    const std::vector<std::wstring> expected{
        L"report install_fail install_dir_refused 0",
        L"dialog 本软件含系统服务，只能安装到仅管理员可修改的文件夹（如 Program Files），请重新选择！", L"quit",
        L"close", L"report event install_end"};
    const auto& timeline = Timeline();
    std::vector<std::wstring> tail(timeline.end() - std::min(timeline.size(), expected.size()), timeline.end());
    EXPECT_EQ(tail, expected);
    EXPECT_EQ(form.exitCode(), ExitCode::kInstallDirRefused);
    EXPECT_TRUE(http_->RequestsTo(L"/api/config/soft_down").empty()) << "nothing obtained";
    EXPECT_FALSE(fs::exists(parent / "Brisklens")) << "nothing written";
    EXPECT_TRUE(sys::fake_services::Services().services.empty());
  }
  http_->Reset();
  ServeDownload();
  NewView();
  SetResource(L"configfile", Config());
  context_.arguments = {};
  TFrmCommInst& form = Create();
  view_.texts[Ctl::edtPath] = (shared / "Brisklens").wstring();
  form.btnInstallClick();
  EXPECT_EQ(form.installStatus(), kInstalled);
}

// The folder was checked, then something put a link in its place before its list could be set:
// the install ends as refused and writes nothing, there or where the link points.
TEST_F(MainFormTest, ServiceFolderThatCannotBeProtectedEndsTheInstallBeforeAnythingIsWritten) {
  SetResource(L"configfile", Config(kServiceConfig));
  context_.arguments = {L"astart"};
  fs::create_directories(root_ / "programfiles");
  fs::create_directories(root_ / "elsewhere");
  ServeDownload();
  TFrmCommInst& form = Create();
  const fs::path dir = root_ / "programfiles" / "Brisklens";
  view_.texts[Ctl::edtPath] = dir.wstring();
  whileProcessingMessages_ = [&] {
    if (fs::is_symlink(dir)) return;
    fs::remove_all(dir);
    fs::create_directory_symlink(root_ / "elsewhere", dir);
  };
  form.tmrAutoInstTimer();
  const std::vector<std::wstring> expected{L"report install_fail install_dir_refused 0",
                                           L"dialog 无法设置安装文件夹的访问权限，请重新选择！", L"quit", L"close",
                                           L"report event install_end"};
  const auto& timeline = Timeline();
  std::vector<std::wstring> tail(timeline.end() - std::min(timeline.size(), expected.size()), timeline.end());
  EXPECT_EQ(tail, expected);
  EXPECT_EQ(form.exitCode(), ExitCode::kInstallDirRefused);
  EXPECT_TRUE(fs::is_empty(root_ / "elsewhere")) << "no marker, no file";
  EXPECT_TRUE(http_->RequestsTo(L"/api/config/soft_down").empty()) << "nothing obtained";
}

TEST_F(MainFormTest, RegistryErrorOfTheUrlProtocolDoesNotStopTheInstall) {
  SetResource(L"configfile", Config(R"(,"ProtocalRootKeyName":"brisk","Protocalname":"Brisk")"));
  sys::fake_registry::DenyWritesBelow(sys::RegRoot::ClassesRoot, L"brisk");
  ServeDownload("2.0.5");
  TFrmCommInst& form = Create();
  form.btnInstallClick();
  EXPECT_EQ(form.installStatus(), kInstalled);
  EXPECT_EQ(Registry(sys::RegRoot::LocalMachine, kUninstallKey, L"DisplayVersion"), L"2.0.5");
}

// The file a product names to be deleted before its install goes only when it lies below the
// user's application-data folders, links on the way resolved; a file elsewhere, or reached through a
// link, is the user's and stays.
TEST_F(MainFormTest, TheFileDeletedBeforeInstallIsOnlyOneOfTheUsersSettings) {
  const fs::path settings = root_ / "roaming" / "brisklens_win";
  const fs::path elsewhere = root_ / "desktop" / "keep";
  const struct {
    const char* configured;  // JSON text of ConfigFileDeletedBeforeInstall
    fs::path file;           // the file it must delete, or leave
    bool deleted;
  } cases[] = {
      {R"(%appdata%\\brisklens_win\\old.ini)", settings / "old.ini", true},
      {R"(%localappdata%\\cache.ini)", root_ / "local" / "cache.ini", true},
      {R"(%appdata%\\..\\desktop\\keep\\notes.txt)", elsewhere / "notes.txt", false},
      {R"(%appdata%\\brisklens_win\\linked\\notes.txt)", elsewhere / "notes.txt", false},
      {R"(%appdata%\\brisklens_win\\pointer.ini)", elsewhere / "notes.txt", false},
  };
  SetResource(L"zipfile", Package());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.configured);
    fs::create_directories(settings);
    fs::create_directories(elsewhere);
    std::ofstream(settings / "old.ini") << "old";
    std::ofstream(root_ / "local" / "cache.ini") << "cache";
    std::ofstream(elsewhere / "notes.txt") << "the user's";
    if (!fs::is_symlink(settings / "linked")) fs::create_directory_symlink(elsewhere, settings / "linked");
    if (!fs::is_symlink(settings / "pointer.ini")) fs::create_symlink(elsewhere / "notes.txt", settings / "pointer.ini");
    SetResource(L"configfile", Config(std::string(R"(,"ConfigFileDeletedBeforeInstall":")") + c.configured + "\""));
    form_.reset();
    NewView();
    Create().btnInstallClick();
    EXPECT_EQ(form_->installStatus(), kInstalled);
    EXPECT_EQ(fs::exists(c.file), !c.deleted);
    if (!c.deleted) {
      EXPECT_EQ(ReadAll(c.file), "the user's");
    }
    fs::remove_all(InstallDir());
    sys::fake_registry::Reset();
  }
}

TEST_F(MainFormTest, EmbeddedPackageNeedsNoServer) {
  SetResource(L"zipfile", Package());
  TFrmCommInst& form = Create();
  form.btnInstallClick();
  EXPECT_EQ(form.installStatus(), kInstalled);
  EXPECT_EQ(ReadAll(InstallDir() / "Orvatte.exe"), "main program");
  EXPECT_TRUE(http_->RequestsTo(L"/api/config/soft_down").empty());
  EXPECT_EQ(Registry(sys::RegRoot::LocalMachine, kUninstallKey, L"DisplayVersion"), L"1.0.1");
}

TEST_F(MainFormTest, ProductStartsWithTheDesktopUsersRightsOrNotAtAll) {
  SetResource(L"configfile", Config(R"(,"RunAsAdmin":false)"));
  ServeDownload();
  TFrmCommInst& form = Create();
  form.btnInstallClick();
  const std::wstring mainProg = InstallDir().wstring() + L"\\Orvatte.exe";
  const auto& start = sys::fake_processes::Processes().starts.back();
  EXPECT_EQ(start.token, sys::fake_processes::Token::DesktopUser);
  EXPECT_EQ(start.commandLine, L"\"" + mainProg + L"\"") << "quoted against blanks in the folder";
  EXPECT_EQ(start.currentDir, InstallDir().wstring()) << "in its own folder, not the installer's";

  Timeline();
  EXPECT_TRUE(view_.Events(L"report install_fail").empty());

  // Without the desktop shell's token the program is not started elevated through the shell
  // instead: the start has failed, with the error of the token's duplication.
  sys::fake_processes::Processes().desktopShellRunning = false;
  const std::size_t startsBefore = sys::fake_processes::Processes().starts.size();
  form.btnInstallClick();
  Timeline();
  EXPECT_TRUE(view_.Events(L"shell").empty());
  EXPECT_EQ(sys::fake_processes::Processes().starts.size(), startsBefore);
  EXPECT_EQ(view_.Events(L"report install_fail"), std::vector<std::wstring>{L"report install_fail run_exe_failed 6"});
  EXPECT_EQ(view_.Events(L"dialog").back(), L"dialog 软件启动失败，可能是杀毒软件拦截所致！请先暂停杀毒软件再继续。是否重试？");
  EXPECT_EQ(form.installStatus(), kInstalled);
  EXPECT_FALSE(view_.quitPosted);

  // Nor does the finish page's web page open elevated.
  form.btnInstallExitClick();
  EXPECT_EQ(sys::fake_processes::Processes().starts.size(), startsBefore);
}

TEST_F(MainFormTest, ServerVersionIsPercentEncodedInTheWebAddress) {
  SetResource(L"configfile", Config(R"(,"OpenWebsiteAfterInstall":"http://site.test/?v=[Version]&f=[from]")"));
  ServeDownload("2.0 &x=1#[from]/\u4E2D%");
  TFrmCommInst& form = Create();
  form.btnInstallClick();
  ASSERT_EQ(form.installStatus(), kInstalled);
  form.btnInstallExitClick();
  EXPECT_EQ(sys::fake_processes::Processes().starts.back().commandLine,
            sys::WebPageCommandLine(L"http://site.test/?v=2.0%20%26x%3D1%23%5Bfrom%5D%2F%E4%B8%AD%25&f=web"));
}

// While an install or uninstall runs, a close request from anywhere (Alt+F4, the taskbar, another
// program) is ignored as the disabled close button is, without a report, and a shutdown or log-off
// is refused with the operation as its reason. Before and after, both behave as they always did.
TEST_F(MainFormTest, CloseRequestsDuringAnInstallAreRefusedAndItClosesWhenAskedAfterwards) {
  ServeDownload();
  TFrmCommInst& form = Create();
  AskToCloseWhileOn(Page::tbProcess);
  form.btnInstallClick();
  ExpectAllRefused(L"正在安装…");
  EXPECT_EQ(view_.page, Page::tbFinish);
  EXPECT_FALSE(view_.quitPosted);

  view_.CloseWindow();
  EXPECT_TRUE(view_.closed);
  const auto ends = http_->RequestsTo(L"/api/report/event");
  ASSERT_EQ(ends.size(), 1u);
  EXPECT_EQ(Param(ends[0], L"event_id"), L"install_end");
}

TEST_F(MainFormTest, CloseRequestsDuringAFailingInstallDoNotSwallowItsMessage) {
  // The close that came during the install did not quit the program, so the failure's message
  // is shown, not swallowed by an early quit.
  ServeDownload("2.0", 404);
  TFrmCommInst& form = Create();
  AskToCloseWhileOn(Page::tbProcess);
  form.btnInstallClick();
  ExpectAllRefused(L"正在安装…");
  EXPECT_EQ(view_.Events(L"dialog"), std::vector<std::wstring>{L"dialog 安装失败，请联系官网客服获取免安装包！"});
  EXPECT_EQ(view_.timeline.back(), L"quit");
  EXPECT_EQ(form.exitCode(), ExitCode::kDownloadZipFail);
}

TEST_F(MainFormTest, AutoInstallTimerFiringDuringAnInstallStartsNoSecondOne) {
  // A product with a valid channel arms the timer; a user quicker than it has started already.
  ServeDownload();
  TFrmCommInst& form = Create();
  bool fired = false;
  view_.whileProcessingMessages = [&] {
    if (view_.page != Page::tbProcess || fired) return;
    fired = true;
    form.tmrAutoInstTimer();
  };
  form.btnInstallClick();
  view_.whileProcessingMessages = nullptr;
  ASSERT_TRUE(fired);
  EXPECT_EQ(view_.pages, (std::vector<Page>{Page::tbInstall, Page::tbProcess, Page::tbFinish}));
  EXPECT_EQ(http_->RequestsTo(L"/api/config/soft_down").size(), 1u);
  testsupport::PumpUntil([] { return sys::WorkerThread::LiveCount() == 0; });
  EXPECT_EQ(http_->RequestsTo(L"/api/report/install").size(), 1u);
  EXPECT_FALSE(view_.closed) << "the timer's close came while the install ran";
}

TEST_F(MainFormTest, BlockingRequestsLeaveTheGuiThread) {
  // The lookup and the reports that the user waits for may each take half a minute when the
  // server is slow: they run beside the GUI thread, which goes on answering.
  ServeDownload("2.0", 404);
  Create().btnInstallClick();
  view_.CloseWindow();
  const auto gui = std::this_thread::get_id();
  for (const wchar_t* path : {L"/api/config/soft_down", L"/api/report/install_fail", L"/api/report/event"}) {
    const auto requests = http_->RequestsTo(path);
    ASSERT_EQ(requests.size(), 1u) << path;
    EXPECT_NE(requests[0].thread, gui) << path;
  }
}

// ---- uninstall -----------------------------------------------------------------------------

class UninstallTest : public MainFormTest {
 protected:
  // A product installed by the installer itself, then the uninstaller started from its folder.
  void InstallThenStartUninstaller(const std::string& config) {
    context_.exeDir = (root_ / "download").wstring() + L"/";
    context_.exeFileName = L"Brisklens_web.exe";
    SetResource(L"configfile", config);
    ServeDownload("2.0.5");
    Create().btnInstallClick();
    ASSERT_EQ(form_->installStatus(), kInstalled);
    Requests(4);  // preinstall and install on their workers, the lookup, the package
    form_.reset();
    http_->Reset();
    NewView();
    context_.exeDir = InstallDir().wstring() + L"/";
    context_.exeFileName = L"unin.exe";
    Create();
  }
};

TEST_F(UninstallTest, RemovesWhatTheInstallLeftAndReportsTheInstalledVersion) {
  InstallThenStartUninstaller(Config(R"(,"OpenWebsiteAfterUninstall":"http://site.test/bye?v=[version]")"));
  fs::create_directories(root_ / "roaming" / "brisklens_win" / "cache");
  std::ofstream(root_ / "roaming" / "brisklens_win" / "settings.ini") << "x";
  std::ofstream(root_ / "roaming" / "brisklens_win" / ".keep") << "x";
  std::ofstream(InstallDir() / ".dotfile") << "x";
  sys::fake_processes::Processes().running = {L"Orvatte.exe"};
  sys::fake_processes::Processes().otherSession = {L"orvatte.exe"};

  form_->btnUninstallClick();
  EXPECT_EQ(view_.pages, (std::vector<Page>{Page::tbUninstall, Page::tbUninProcess, Page::tbUninFinish}));
  EXPECT_EQ(form_->uninstallProgress(), 100);
  EXPECT_TRUE(view_.enabled[Ctl::imgbtnClose]);
  EXPECT_EQ(form_->exitCode(), ExitCode::kUninstalled);

  const auto requests = Requests(1);
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(Name(requests[0]), L"uninstall");
  EXPECT_EQ(Param(requests[0], L"curr_ver"), L"2.0.5");
  EXPECT_EQ(Param(requests[0], L"source"), L"web") << "the source recorded by the install";

  EXPECT_FALSE(sys::fake_registry::KeyExists(sys::RegRoot::LocalMachine, kUninstallKey));
  EXPECT_EQ(sys::fake_processes::Processes().terminated, std::vector<std::wstring>{L"Orvatte.exe"})
      << "only the copy in the uninstaller's own session";
  const std::wstring mainProg = InstallDir().wstring() + L"\\Orvatte.exe";
  EXPECT_FALSE(fs::exists(sys::DesktopShortcutPath(mainProg, L"Brisklens")));
  EXPECT_FALSE(fs::exists(sys::StartMenuShortcutPath(mainProg, L"Brisklens", L"Brisklens")));
  EXPECT_FALSE(fs::exists(root_ / "programs" / "Brisklens")) << "no dead 卸载软件 link, no empty folder";
  // Settings emptied, dot entries kept; the install folder emptied but for its dot file.
  EXPECT_TRUE(fs::exists(root_ / "roaming" / "brisklens_win" / ".keep"));
  EXPECT_FALSE(fs::exists(root_ / "roaming" / "brisklens_win" / "settings.ini"));
  EXPECT_FALSE(fs::exists(root_ / "roaming" / "brisklens_win" / "cache"));
  EXPECT_FALSE(fs::exists(InstallDir() / "Orvatte.exe"));
  EXPECT_FALSE(fs::exists(InstallDir() / "data"));
  EXPECT_TRUE(fs::exists(InstallDir() / ".dotfile"));
  EXPECT_FALSE(fs::exists(InstallDir() / "install.marker")) << "deleted last";

  // "退出": the web page with the version, the window closes without a report, self-deletion.
  // On Windows the running uninstaller cannot delete itself; here it is put back.
  std::ofstream(InstallDir() / "unin.exe") << "running uninstaller";
  form_->btnUninExitClick();
  EXPECT_TRUE(view_.closed);
  const auto& starts = sys::fake_processes::Processes().starts;
  ASSERT_GE(starts.size(), 2u);
  EXPECT_EQ(starts[starts.size() - 2].token, sys::fake_processes::Token::DesktopUser);
  EXPECT_EQ(starts[starts.size() - 2].commandLine, sys::WebPageCommandLine(L"http://site.test/bye?v=1.0.1"));
  EXPECT_NE(starts.back().commandLine.find(L".bat"), std::wstring::npos);
  EXPECT_TRUE(http_->RequestsTo(L"/api/report/event").empty());
}

// The registration lists say which install steps an uninstall takes back: what they make is gone
// afterwards, and what the others make is still there.
TEST_F(UninstallTest, WhatTheRegistrationListSaysIsUndoneIsGoneAndTheRestStays) {
  InstallThenStartUninstaller(Config(R"(,"RunAtStartup":true,"AssociatedExts":"*.brk",)"
                                     R"("ProtocalRootKeyName":"brisk","Protocalname":"URL:brisk")"));
  const std::wstring mainProg = InstallDir().wstring() + L"\\Orvatte.exe";
  const std::wstring uninstaller = InstallDir().wstring() + L"\\unin.exe";
  using sys::RegRoot;
  const auto linked = [](const std::wstring& link) { return sys::fake_shell::LinkAt(link).has_value(); };
  // What each registering step leaves in the system. Steps that only put files into the install
  // folder, or start something once, leave nothing to look at here.
  const std::map<std::wstring, std::function<bool()>> made = {
      {L"desktop shortcut", [&] { return linked(sys::DesktopShortcutPath(mainProg, L"Brisklens")); }},
      {L"start-menu shortcut", [&] { return linked(sys::StartMenuShortcutPath(mainProg, L"Brisklens", L"Brisklens")); }},
      {L"uninstaller's start-menu shortcut and folder",
       [&] {
         return linked(sys::StartMenuShortcutPath(uninstaller, L"Brisklens", L"卸载软件")) ||
                fs::exists(root_ / "programs" / "Brisklens");
       }},
      {L"start-up entry or service",
       [] { return sys::fake_registry::GetValue(RegRoot::CurrentUser, sys::kRunKey, L"brisklens_win").has_value(); }},
      {L"uninstall registration", [] { return sys::fake_registry::KeyExists(RegRoot::LocalMachine, kUninstallKey); }},
      {L"file associations", [] { return sys::fake_registry::KeyExists(RegRoot::ClassesRoot, L".brk"); }},
      {L"URL protocol",
       [] { return sys::fake_registry::KeyExists(RegRoot::ClassesRoot, L"brisk", sys::fake_registry::View::Bits64); }},
  };
  std::map<std::wstring, bool> undone;
  for (const TRegistrationStep& step : InstallRegistrationSteps()) {
    if (made.count(step.name) == 0) continue;
    undone[step.name] = step.undoneBy != nullptr;
    EXPECT_TRUE(made.at(step.name)()) << common::WideToUtf8(step.name) << ": not made by the install";
  }
  ASSERT_EQ(undone.size(), made.size()) << "a step named above is no longer in the install's list";
  std::vector<std::wstring> uninstallSteps;
  for (const TRegistrationStep& step : UninstallRegistrationSteps()) uninstallSteps.push_back(step.name);
  for (const TRegistrationStep& step : InstallRegistrationSteps()) {
    if (step.undoneBy) {
      EXPECT_EQ(std::count(uninstallSteps.begin(), uninstallSteps.end(), step.undoneBy), 1)
          << common::WideToUtf8(step.name) << ": its undoing is not in the uninstall's list";
    }
  }

  form_->btnUninstallClick();
  ASSERT_EQ(view_.page, Page::tbUninFinish);
  for (const auto& [name, isUndone] : undone) {
    EXPECT_EQ(made.at(name)(), !isUndone) << common::WideToUtf8(name);
  }
}

TEST_F(UninstallTest, WithoutAnInstalledVersionNothingIsReported) {
  InstallThenStartUninstaller(Config());
  sys::fake_registry::PutValue(sys::RegRoot::LocalMachine, kUninstallKey, L"DisplayVersion", {1, {0, 0}});
  form_->btnUninstallClick();
  EXPECT_EQ(view_.page, Page::tbUninFinish);
  EXPECT_FALSE(fs::exists(InstallDir() / "Orvatte.exe"));
  EXPECT_TRUE(Requests(0).empty());
}

TEST_F(UninstallTest, PrintProductsKeepSubfoldersUnlessSoftConfIsThere) {
  for (bool softConf : {false, true}) {
    SCOPED_TRACE(softConf ? "with soft.conf" : "without soft.conf");
    std::string config = Config();
    config.replace(config.find("brisklens_win"), 13, "print_win");
    InstallThenStartUninstaller(config);
    if (softConf) std::ofstream(InstallDir() / "soft.conf") << "x";
    form_->btnUninstallClick();
    EXPECT_FALSE(fs::exists(InstallDir() / "Orvatte.exe"));
    EXPECT_EQ(fs::exists(InstallDir() / "data" / "deep" / "readme.txt"), !softConf);
    fs::remove_all(InstallDir());
  }
}

TEST_F(UninstallTest, CloseRequestsWaitForTheUninstall) {
  InstallThenStartUninstaller(Config());
  AskToCloseWhileOn(Page::tbUninProcess);
  form_->btnUninstallClick();
  ExpectAllRefused(L"正在卸载…");
  EXPECT_EQ(view_.page, Page::tbUninFinish);
  form_->imgbtnCloseClick();
  EXPECT_TRUE(view_.closed);
}

TEST_F(UninstallTest, ACopyStartedWhereNothingIsInstalledTouchesNothing) {
  InstallThenStartUninstaller(Config());
  const std::wstring mainProg = InstallDir().wstring() + L"\\Orvatte.exe";
  for (const fs::path& folder : {root_ / "Documents" / "Work", root_ / "Data"}) {
    SCOPED_TRACE(folder.string());
    fs::create_directories(folder / "sub");
    std::ofstream(folder / "letter.txt") << "mine";
    std::ofstream(folder / "sub" / "notes.txt") << "mine too";
    std::ofstream(folder / "unin.exe") << "copied uninstaller";
    const auto before = Contents(folder);
    form_.reset();
    NewView();
    sys::fake_processes::Processes().running = {L"Orvatte.exe"};
    context_.exeDir = folder.wstring() + L"/";
    Create();
    EXPECT_EQ(view_.timeline, (std::vector<std::wstring>{L"dialog 此文件夹中没有安装本软件，无需卸载。", L"quit"}));
    EXPECT_TRUE(view_.hiddenAtStart);
    EXPECT_EQ(form_->exitCode(), ExitCode::kNothingInstalledHere);
    EXPECT_EQ(ToInt(form_->exitCode()), 15);
    // Even the removal steps themselves refuse such a folder.
    form_->btnUninstallClick();
    EXPECT_EQ(Contents(folder), before);
    EXPECT_TRUE(sys::fake_processes::Processes().terminated.empty());
    // The install elsewhere keeps its files, registration and links.
    EXPECT_TRUE(fs::exists(InstallDir() / "Orvatte.exe"));
    EXPECT_EQ(Registry(sys::RegRoot::LocalMachine, kUninstallKey, L"DisplayVersion"), L"2.0.5");
    EXPECT_TRUE(fs::exists(sys::DesktopShortcutPath(mainProg, L"Brisklens")));
    EXPECT_TRUE(Requests(0).empty()) << "no uninstall report";
  }
}

TEST_F(UninstallTest, AFolderWithTheMarkerIsEmptiedWhileTheInstallRegisteredElsewhereStays) {
  InstallThenStartUninstaller(Config());
  const std::wstring mainProg = InstallDir().wstring() + L"\\Orvatte.exe";
  // An earlier install into a second folder was killed half way: it left its marker and files.
  const fs::path second = root_ / "second";
  fs::create_directories(second / "sub");
  std::ofstream(second / "Orvatte.exe") << "half";
  std::ofstream(second / "sub" / "part.bin") << "half";
  std::ofstream(second / "unin.exe") << "uninstaller";
  ASSERT_TRUE(WriteInstallMarker(second.wstring(), L"brisklens_win"));
  form_.reset();
  NewView();
  context_.exeDir = second.wstring() + L"/";
  Create();
  EXPECT_EQ(view_.page, Page::tbUninstall);
  form_->btnUninstallClick();
  EXPECT_FALSE(fs::exists(second / "Orvatte.exe"));
  EXPECT_FALSE(fs::exists(second / "sub"));
  EXPECT_FALSE(fs::exists(second / "install.marker"));
  EXPECT_TRUE(fs::exists(InstallDir() / "Orvatte.exe"));
  EXPECT_TRUE(fs::exists(InstallDir() / "install.marker"));
  EXPECT_EQ(Registry(sys::RegRoot::LocalMachine, kUninstallKey, L"DisplayVersion"), L"2.0.5");
  EXPECT_TRUE(fs::exists(sys::DesktopShortcutPath(mainProg, L"Brisklens")));
  EXPECT_TRUE(sys::fake_processes::Processes().terminated.empty());
}

TEST_F(UninstallTest, TheMarkerGoesLastSoAKilledUninstallRunsAgain) {
  InstallThenStartUninstaller(Config());
  EXPECT_EQ(ReadAll(InstallDir() / "install.marker"), "brisklens_win") << "written by the install";
  // An uninstall killed right after it removed the registration leaves the marker behind.
  sys::DeleteUninstallInfo(L"brisklens_win");
  form_.reset();
  NewView();
  Create();
  EXPECT_EQ(view_.page, Page::tbUninstall);
  form_->btnUninstallClick();
  EXPECT_FALSE(fs::exists(InstallDir() / "Orvatte.exe"));
  EXPECT_FALSE(fs::exists(InstallDir() / "install.marker"));
  // Completed: the uninstaller, started there again, finds nothing of the product.
  fs::create_directories(InstallDir());
  std::ofstream(InstallDir() / "unin.exe") << "running uninstaller";
  form_.reset();
  NewView();
  Create();
  EXPECT_EQ(form_->exitCode(), ExitCode::kNothingInstalledHere);
}

TEST_F(UninstallTest, SettingsAreEmptiedOnlyBelowTheApplicationDataFolders) {
  struct Case {
    const char* configured;  // JSON text of ConfigPathForUinstall
    fs::path folder;
    bool emptied;
  };
  const Case cases[] = {
      {R"(%appdata%\\brisklens_win)", root_ / "roaming" / "brisklens_win", true},
      {R"(%localappdata%\\brisklens_cache)", root_ / "local" / "brisklens_cache", true},
      {R"(%appdata%)", root_ / "roaming", false},
      {R"(%appdata%\\..\\desktop)", root_ / "desktop", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.configured);
    std::string config = Config();
    config.replace(config.find(R"(%appdata%\\brisklens_win)"), std::string(R"(%appdata%\\brisklens_win)").size(),
                   c.configured);
    InstallThenStartUninstaller(config);
    fs::create_directories(c.folder);
    std::ofstream(c.folder / "settings.ini") << "x";
    form_->btnUninstallClick();
    EXPECT_EQ(fs::exists(c.folder / "settings.ini"), !c.emptied);
    fs::remove(c.folder / "settings.ini");
    fs::remove_all(InstallDir());
  }
}

TEST_F(UninstallTest, CloseButtonClosesAtOnceWithoutWebPageOrSelfDeletion) {
  InstallThenStartUninstaller(Config(R"(,"OpenWebsiteAfterUninstall":"http://site.test/bye")"));
  const std::size_t startsBefore = sys::fake_processes::Processes().starts.size();
  form_->imgbtnCloseClick();
  EXPECT_TRUE(view_.closed);
  EXPECT_TRUE(view_.Events(L"confirm").empty());
  EXPECT_EQ(sys::fake_processes::Processes().starts.size(), startsBefore);
  EXPECT_TRUE(fs::exists(InstallDir() / "unin.exe"));
}

}  // namespace
}  // namespace installer
