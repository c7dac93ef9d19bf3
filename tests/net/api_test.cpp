// API client on the scripted transport and the in-memory registry: device code, envelope parsing,
// parameter strings, lookup outcomes.
#include <gtest/gtest.h>
#include <pthread.h>

#include <functional>
#include <regex>
#include <string>
#include <thread>

#include "common/json.h"
#include "common/strings.h"
#include "net/api.h"
#include "net/guid.h"
#include "net/http_fake.h"
#include "support/pump.h"
#include "system/registry_fake.h"
#include "system/registry_strings.h"
#include "system/worker_thread.h"

namespace {

using sys::RegRoot;
namespace reg_fake = sys::fake_registry;

constexpr wchar_t kBase[] = L"http://api.test";
constexpr wchar_t kMakerKey[] = L"SOFTWARE\\vornhalt";
constexpr wchar_t kProductKey[] = L"SOFTWARE\\brisklens_win";

TEST(DeviceCode, FromTheGuidTextForm) {
  EXPECT_EQ(net::DeviceCodeFromGuidText(L"{3F2504E0-4F89-11D3-9A0C-0305E82C3301}"),
            L"3F2504E04F8911D39A0C0305E82C33016a");
}

TEST(DeviceCode, NewCodesAre32UpperAnd2LowerHexDigitsAndDiffer) {
  const std::wstring a = net::DeviceCodeFromGuidText(net::NewGuidText());
  const std::wstring b = net::DeviceCodeFromGuidText(net::NewGuidText());
  const std::wregex form(L"[0-9A-F]{32}[0-9a-f]{2}");
  EXPECT_TRUE(std::regex_match(a, form)) << a;
  EXPECT_TRUE(std::regex_match(b, form)) << b;
  EXPECT_NE(a, b);
}

TEST(GetJsonObject, EnvelopesAsATable) {
  struct Case {
    const wchar_t* body;
    bool result;
    int code;
    const char* data;  // dump of jsData, when result is true
  } cases[] = {
      {LR"({"code":0,"data":{}})", true, 0, "{}"},
      {LR"({"data":{"url":"u"}})", true, 0, R"({"url":"u"})"},
      {LR"({"code":1})", true, 1, "null"},
      {LR"({"code":"7","data":1})", true, 7, "1"},
      {LR"({"code":"-3"})", true, -3, "null"},
      {LR"({"code":"abc"})", true, 0, "null"},
      {LR"({"code":"1x"})", true, 0, "null"},
      {LR"({"code":null})", true, 0, "null"},
      {LR"({"code":true})", true, 0, "null"},
      {LR"({"code":2.9})", true, 2, "null"},
      {LR"(  {"code":5} and then some text)", true, 5, "null"},
      {LR"({"code":0}{"code":9})", true, 0, "null"},
      {LR"([1,2])", true, 0, "null"},
      {LR"({"data":{"ver":"中文"}})", true, 0, "{\"ver\":\"\xe4\xb8\xad\xe6\x96\x87\"}"},
      {L"", false, 0, nullptr},
      {L"   ", false, 0, nullptr},
      {L"<html>not json</html>", false, 0, nullptr},
      {LR"({"code":0)", false, 0, nullptr},
  };
  for (const auto& c : cases) {
    nlohmann::json data = "untouched";
    int code = 42;
    EXPECT_EQ(net::TAPI::getJsonObject(c.body, data, code), c.result) << c.body;
    if (c.result) {
      EXPECT_EQ(code, c.code) << c.body;
      EXPECT_EQ(data.dump(), c.data) << c.body;
    } else {
      EXPECT_EQ(code, 42) << c.body;
      EXPECT_EQ(data, "untouched") << c.body;
    }
  }
}

// Runs work on a thread with the 2 MiB of stack that a thread of the Windows build has.
void OnWorkerSizedStack(const std::function<void()>& work) {
  pthread_attr_t attributes;
  ASSERT_EQ(pthread_attr_init(&attributes), 0);
  ASSERT_EQ(pthread_attr_setstacksize(&attributes, 2u << 20), 0);
  pthread_t thread;
  auto run = [](void* w) -> void* {
    (*static_cast<const std::function<void()>*>(w))();
    return nullptr;
  };
  ASSERT_EQ(pthread_create(&thread, &attributes, run, const_cast<std::function<void()>*>(&work)), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attributes);
}

std::wstring NestedData(std::size_t depth) {
  return LR"({"code":0,"data":)" + std::wstring(depth, L'[') + std::wstring(depth, L']') + L"}";
}

// An answer nested deeper than any the server sends is damaged: at the limit it is read, one level
// more is refused, and a megabyte of brackets is refused without overrunning the lookup thread's
// stack (a copy of such a value recursed once per level).
TEST(GetJsonObject, NestingIsLimited) {
  const struct {
    std::size_t depth;  // of the "data" value; the envelope adds one
    bool read;
  } cases[] = {{common::kMaxJsonDepth - 1, true}, {common::kMaxJsonDepth, false}, {(1u << 20) / 2 - 16, false}};
  for (const auto& c : cases) {
    const std::wstring body = NestedData(c.depth);
    bool read = !c.read;
    nlohmann::json data;
    int code = 42;
    OnWorkerSizedStack([&] { read = net::TAPI::getJsonObject(body, data, code); });
    EXPECT_EQ(read, c.read) << "depth " << c.depth << ", " << body.size() << " characters";
    if (c.read) {
      EXPECT_EQ(data.dump(), std::string(c.depth, '[') + std::string(c.depth, ']'));
    }
  }
}

class ApiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reg_fake::Reset();
    sys::InitGuiThread();
  }
  void TearDown() override {
    WaitForWorkers();
    reg_fake::Reset();
  }
  static void WaitForWorkers() {
    EXPECT_TRUE(testsupport::PumpUntil([] { return sys::WorkerThread::LiveCount() == 0; }));
  }
  net::TAPI MakeApi(const std::wstring& deviceCode = L"DC01") const {
    return net::TAPI(http_, L"web1", L"brisklens_win", L"1.0.3", L"42", deviceCode, kBase);
  }

  std::shared_ptr<net::fake::ScriptedTransport> http_ = std::make_shared<net::fake::ScriptedTransport>();
};

TEST_F(ApiTest, EachOperationSendsItsPathAndParametersToTheByte) {
  struct Case {
    const char* name;
    std::function<void(net::TAPI&)> call;
    std::wstring url;
    bool blocking;
  } cases[] = {
      {"lookup",
       [](net::TAPI& a) { a.GetSoftDownloadInfo(); },
       L"http://api.test/api/config/soft_down?soft_id=brisklens_win&source=web1", true},
      {"preinstall", [](net::TAPI& a) { a.ReportPreInstall(); },
       L"http://api.test/api/report/preinstall?soft_id=brisklens_win&curr_ver=1.0.3&source=web1&device_code=DC01&kid=42",
       false},
      {"install", [](net::TAPI& a) { a.ReportInstall(); },
       L"http://api.test/api/report/install?soft_id=brisklens_win&curr_ver=1.0.3&source=web1&device_code=DC01&kid=42",
       false},
      {"install_fail", [](net::TAPI& a) { a.ReportInstallFail(L"run_exe_failed", -2); },
       L"http://api.test/api/report/install_fail?soft_id=brisklens_win&curr_ver=1.0.3&source=web1&device_code=DC01"
       L"&reason=run_exe_failed&err=-2&proc=&kid=42",
       true},
      {"event on a worker", [](net::TAPI& a) { a.ReportEvent(L"install_end", true); },
       L"http://api.test/api/report/event?soft_id=brisklens_win&curr_ver=1.0.3&source=web1&device_code=DC01"
       L"&event_id=install_end&kid=42",
       false},
      {"install_end", [](net::TAPI& a) { a.ReportInstallEnd(); },
       L"http://api.test/api/report/event?soft_id=brisklens_win&curr_ver=1.0.3&source=web1&device_code=DC01"
       L"&event_id=install_end&kid=42",
       true},
      {"uninstall", [](net::TAPI& a) { a.ReportUninstall(L"0.9"); },
       L"http://api.test/api/report/uninstall?soft_id=brisklens_win&curr_ver=0.9&source=web1&device_code=DC01&kid=42",
       false},
  };
  for (const auto& c : cases) {
    http_->Reset();
    net::TAPI api = MakeApi();
    c.call(api);
    if (c.blocking) {
      ASSERT_EQ(http_->Requests().size(), 1u) << c.name << ": not sent before returning";
    }
    WaitForWorkers();
    const auto requests = http_->Requests();
    ASSERT_EQ(requests.size(), 1u) << c.name;
    EXPECT_EQ(requests[0].url, c.url) << c.name;
    EXPECT_EQ(requests[0].thread == std::this_thread::get_id(), c.blocking) << c.name;
  }
}

TEST_F(ApiTest, ValuesThatAreNotUnreservedAreEncoded) {
  net::TAPI api(http_, L"web 1", L"brisklens_win", L"1.0", L"a&b#c=\u4e2d", L"DC01", kBase);
  api.ReportInstallFail(L"unzip_failed", 0);
  ASSERT_EQ(http_->Requests().size(), 1u);
  EXPECT_EQ(http_->Requests()[0].Query(),
            L"soft_id=brisklens_win&curr_ver=1.0&source=web%201&device_code=DC01&reason=unzip_failed&err=0&proc="
            L"&kid=a%26b%23c%3D%E4%B8%AD");
}

// The client only keeps the identity it is given: making one reads and writes no registry.
TEST_F(ApiTest, MakingAClientTouchesNoRegistry) {
  const net::TAPI api = MakeApi(L"GIVEN");
  EXPECT_EQ(api.Guid(), L"GIVEN");
  EXPECT_FALSE(reg_fake::KeyExists(RegRoot::CurrentUser, kMakerKey));
  EXPECT_FALSE(reg_fake::KeyExists(RegRoot::CurrentUser, kProductKey));
}

TEST_F(ApiTest, UninstallWithoutVersionRaisesAndSendsNothing) {
  net::TAPI api = MakeApi();
  try {
    api.ReportUninstall(L"");
    ADD_FAILURE() << "no error raised";
  } catch (const common::EGeneralError& e) {
    EXPECT_EQ(e.Message(), L"curr version=null");
  }
  WaitForWorkers();
  EXPECT_TRUE(http_->Requests().empty());
}

TEST_F(ApiTest, LookupOutcomes) {
  net::fake::Answer unreachable;
  unreachable.unreachable = true;
  struct Case {
    const char* name;
    net::fake::Answer answer;
    bool result;
    std::wstring url, ver, currVer, sha256;
    std::wstring sig = L"";
  } cases[] = {
      {"accepted", net::fake::Json(R"({"code":0,"data":{"url":"http://p/x.zip","ver":"2.0"}})"), true,
       L"http://p/x.zip", L"2.0", L"2.0", L""},
      {"with digest", net::fake::Json(R"({"code":0,"data":{"url":"u","ver":"2.1","sha256":"ab12"}})"), true, L"u",
       L"2.1", L"2.1", L"ab12"},
      {"with signature", net::fake::Json(R"({"code":0,"data":{"url":"u","ver":"2.1","sig":"cd34"}})"), true, L"u",
       L"2.1", L"2.1", L"", L"cd34"},
      // Taken as text like every member; the signature check then refuses anything but hex digits.
      {"signature as a number", net::fake::Json(R"({"code":0,"data":{"url":"u","ver":"2.1","sig":1234}})"), true,
       L"u", L"2.1", L"2.1", L"", L"1234"},
      {"signature as an object", net::fake::Json(R"({"code":0,"data":{"url":"u","ver":"2.1","sig":{"r":1}}})"),
       true, L"u", L"2.1", L"2.1", L"", L""},
      {"empty url", net::fake::Json(R"({"code":0,"data":{"url":"","ver":"2.0"}})"), true, L"", L"2.0", L"2.0", L""},
      {"no url member", net::fake::Json(R"({"code":"0","data":{"ver":"2.0"}})"), true, L"", L"2.0", L"2.0", L""},
      {"no data", net::fake::Json(R"({"code":0})"), true, L"", L"", L"", L""},
      {"refused", net::fake::Json(R"({"code":1,"data":{"url":"u","ver":"9"}})"), false, L"keep", L"keep", L"1.0.3",
       L""},
      {"refused as text", net::fake::Json(R"({"code":"1"})"), false, L"keep", L"keep", L"1.0.3", L""},
      {"not JSON", net::fake::Json("<html>"), false, L"keep", L"keep", L"1.0.3", L""},
      {"server error", {500, R"({"code":0,"data":{"url":"u","ver":"9"}})"}, false, L"keep", L"keep", L"1.0.3", L""},
      {"no server", unreachable, false, L"keep", L"keep", L"1.0.3", L""},
  };
  for (const auto& c : cases) {
    http_->Reset();
    http_->SetAnswer(L"/api/config/soft_down", c.answer);
    net::TAPI api = MakeApi();
    const std::optional<net::DownloadInfo> info = api.GetSoftDownloadInfo();
    EXPECT_EQ(info.has_value(), c.result) << c.name;
    // "keep": nothing came back.
    const net::DownloadInfo got = info.value_or(net::DownloadInfo{L"keep", L"keep", L"", L""});
    EXPECT_EQ(got.url, c.url) << c.name;
    EXPECT_EQ(got.version, c.ver) << c.name;
    EXPECT_EQ(api.CurrVer(), c.currVer) << c.name;
    EXPECT_EQ(got.sha256, c.sha256) << c.name;
    EXPECT_EQ(got.sig, c.sig) << c.name;
  }
}

TEST_F(ApiTest, ReportsAfterALookupCarryTheServersVersion) {
  http_->SetAnswer(L"/api/config/soft_down", net::fake::Json(R"({"code":0,"data":{"url":"u","ver":"3.1"}})"));
  net::TAPI api = MakeApi();
  api.ReportInstall();
  WaitForWorkers();
  ASSERT_TRUE(api.GetSoftDownloadInfo());
  api.ReportInstallFail(L"download_zip_fail", 0);
  const auto install = http_->RequestsTo(L"/api/report/install");
  const auto fail = http_->RequestsTo(L"/api/report/install_fail");
  ASSERT_EQ(install.size(), 1u);
  ASSERT_EQ(fail.size(), 1u);
  EXPECT_TRUE(common::HasSubStr(L"&curr_ver=1.0.3&", install[0].url));
  EXPECT_TRUE(common::HasSubStr(L"&curr_ver=3.1&", fail[0].url));
}

class DeviceCodeRegistry : public ApiTest {
 protected:
  static void Put(const wchar_t* key, std::optional<std::wstring> value) {
    if (value) sys::WriteRegString(RegRoot::CurrentUser, key, L"guid", *value);
  }
  static std::optional<std::wstring> Stored(const wchar_t* key) {
    const auto v = reg_fake::GetValue(RegRoot::CurrentUser, key, L"guid");
    if (!v) return std::nullopt;
    return sys::reg::StringFromData(v->data);
  }
};

TEST_F(DeviceCodeRegistry, MakersKeyFirstThenProductsKeyNeitherWritten) {
  struct Case {
    const char* name;
    std::optional<std::wstring> maker, product;
    std::wstring expected;
  } cases[] = {
      {"maker's key wins", L"MAKERCODE", L"PRODUCTCODE", L"MAKERCODE"},
      {"product's key as fallback", std::nullopt, L"PRODUCTCODE", L"PRODUCTCODE"},
      {"empty maker value counts as missing", L"", L"PRODUCTCODE", L"PRODUCTCODE"},
      {"any stored form is used unchanged", L" odd{-}value ", std::nullopt, L" odd{-}value "},
  };
  for (const auto& c : cases) {
    reg_fake::Reset();
    Put(kMakerKey, c.maker);
    Put(kProductKey, c.product);
    EXPECT_EQ(net::TAPI::getGlobalGUID(L"brisklens_win"), c.expected) << c.name;
    EXPECT_EQ(Stored(kMakerKey), c.maker) << c.name << ": maker's key changed";
    EXPECT_EQ(Stored(kProductKey), c.product) << c.name << ": product's key changed";
  }
}

TEST_F(DeviceCodeRegistry, ValueOfAnotherTypeReadsAsMissing) {
  reg_fake::PutValue(RegRoot::CurrentUser, kMakerKey, L"guid", {sys::reg::kRegDword, {1, 0, 0, 0}});
  Put(kProductKey, L"PRODUCTCODE");
  EXPECT_EQ(net::TAPI::getGlobalGUID(L"brisklens_win"), L"PRODUCTCODE");
}

TEST_F(DeviceCodeRegistry, FirstRunGeneratesStoresUnderTheMakersKeyAndLaterRunsReadItBack) {
  const std::wstring first = net::TAPI::getGlobalGUID(L"brisklens_win");
  EXPECT_TRUE(std::regex_match(first, std::wregex(L"[0-9A-F]{32}[0-9a-f]{2}"))) << first;
  EXPECT_EQ(Stored(kMakerKey), first);
  EXPECT_EQ(Stored(kProductKey), std::nullopt);
  EXPECT_TRUE(reg_fake::KeyExists(RegRoot::CurrentUser, kProductKey));  // the read created it
  EXPECT_EQ(net::TAPI::getGlobalGUID(L"brisklens_win"), first);
}

TEST_F(DeviceCodeRegistry, ACodeThatCannotBeStoredIsStillUsed) {
  reg_fake::DenyWritesBelow(RegRoot::CurrentUser, kMakerKey);
  const std::wstring code = net::TAPI::getGlobalGUID(L"brisklens_win");
  EXPECT_EQ(code.size(), 34u);
  EXPECT_EQ(Stored(kMakerKey), std::nullopt);
}

}  // namespace
