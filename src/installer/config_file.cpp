#include "installer/config_file.h"

#include <algorithm>

#include <nlohmann/json.hpp>

#include "common/json.h"
#include "common/strings.h"
#include "common/text.h"
#include "installer/file_digest.h"
#include "system/registry_strings.h"

namespace installer {
namespace {

using nlohmann::json;

// The document: its bytes without a byte-order mark, each invalid UTF-8 sequence read as U+FFFD.
// A malformed text gives a value that is not an object.
json ParseDocument(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  return common::ParseJson(common::ValidUtf8(bytes), common::JsonTrailing::kRefused).value_or(json());
}

// Anything that is not a JSON object reads as an empty one.
json AsObject(json document) { return document.is_object() ? std::move(document) : json::object(); }

// A text key: the string's value, any other value's JSON text, empty text when absent.
std::wstring ReadText(const json& document, const char* key) {
  const auto it = document.find(key);
  if (it == document.end()) return std::wstring();
  if (it->is_string()) return common::Utf8ToWide(it->get_ref<const std::string&>());
  return common::Utf8ToWide(it->dump(-1, ' ', false, json::error_handler_t::replace));
}

// A Boolean key: a Boolean as it is, a number when not zero, a string when not empty; null, an
// absent key and a nested object or array are false.
bool ReadBool(const json& document, const char* key) {
  const auto it = document.find(key);
  if (it == document.end()) return false;
  switch (it->type()) {
    case json::value_t::boolean: return it->get<bool>();
    case json::value_t::number_integer:
    case json::value_t::number_unsigned: return it->get<std::int64_t>() != 0;
    case json::value_t::number_float: return it->get<double>() != 0.0;
    case json::value_t::string: return !it->get_ref<const std::string&>().empty();
    default: return false;
  }
}

std::wstring ExpandIfSet(std::wstring text, const TConfigContext& context) {
  if (text.empty()) return text;
  return ExpandFolderMacros(text, context.appDataDir(), context.localAppDataDir());
}

std::wstring ProductKey(std::wstring_view softId) { return L"SOFTWARE\\" + std::wstring(softId); }

}  // namespace

bool IsUsableSoftId(std::wstring_view softId) {
  if (softId.empty() || softId == L"." || softId == L"..") return false;
  return std::none_of(softId.begin(), softId.end(),
                      [](wchar_t c) { return c < 0x20 || std::wstring_view(L"\\/:*?\"<>|").find(c) != std::wstring_view::npos; });
}

TConfigFile::TConfigFile(std::string_view configFileData, bool bInstallMode, const TConfigContext& context)
    : FbInstallMode(bInstallMode), exeFileName_(context.exeFileName) {
  json parsed = ParseDocument(configFileData);
  const bool isObject = parsed.is_object();
  const json document = AsObject(std::move(parsed));
  SoftId = ReadText(document, "SoftId");
  Title = ReadText(document, "Title");
  Version = ReadText(document, "Version");

  if (FbInstallMode) {
    FromSource = ReadText(document, "FromSource");
    if (FromSource.empty()) getSourceFromExeName(exeFileName_, FromSource, FromKeywordID);
  }

  BigTitle = ReadText(document, "BigTitle");
  Description = ReadText(document, "Description");
  MainProg = ReadText(document, "MainProg");
  MainProgPath = ReadText(document, "MainProgPath");
  ShortcutName = ReadText(document, "ShortcutName");
  OpenWebsiteAfterInstall = ReadText(document, "OpenWebsiteAfterInstall");
  OpenWebsiteAfterUninstall = ReadText(document, "OpenWebsiteAfterUninstall");
  ProgramDirName = ReadText(document, "ProgramDirName");
  XPSupported = ReadBool(document, "XPSupported");  // absent: false, so old Windows is refused
  RegDllName = ReadText(document, "RegDllName");
  RegDllName2 = ReadText(document, "RegDllName2");
  RegDllName3 = ReadText(document, "RegDllName3");
  ProductURL = ReadText(document, "ProductURL");
  RunAsAdmin = ReadBool(document, "RunAsAdmin");
  RunAtStartup = ReadBool(document, "RunAtStartup");
  ServiceExeFileName = ReadText(document, "ServiceExeFileName");
  StartupByService = ReadBool(document, "StartupByService");
  ServiceName = ReadText(document, "ServiceName");
  ServiceDisplayName = ReadText(document, "ServiceDisplayName");
  AfterInstBat1 = ReadText(document, "AfterInstBat1");
  AfterInstBat2 = ReadText(document, "AfterInstBat2");
  DotNetCheck = ReadBool(document, "DotNetCheck");
  DotNetVerRequired = ReadText(document, "DotNetVerRequired");
  ConfigPathForUinstall = ExpandIfSet(ReadText(document, "ConfigPathForUinstall"), context);
  ConfigFileDeletedBeforeInstall = ExpandIfSet(ReadText(document, "ConfigFileDeletedBeforeInstall"), context);
  AssociatedExts.clear();
  const std::wstring exts = ReadText(document, "AssociatedExts");
  if (!exts.empty()) common::SplitToList(AssociatedExts, exts, L'|');
  ProtocalRootKeyName = ReadText(document, "ProtocalRootKeyName");
  Protocalname = ReadText(document, "Protocalname");
  AutoStartInstall = ReadBool(document, "AutoStartInstall");
  PackageKey = ReadText(document, "PackageKey");

  const auto key = document.find("PackageKey");
  usable_ = isObject && IsUsableSoftId(SoftId) &&
            (key == document.end() ||
             (key->is_string() && ParsePackageKey(common::Utf8ToWide(key->get_ref<const std::string&>())).has_value()));
}

void TConfigFile::syncSourceWithRegistry() {
  if (FbInstallMode) {
    saveSourceToReg(SoftId, FromSource, FromKeywordID);
  } else {
    FromSource = readSourceFromReg(SoftId);
  }
}

bool TConfigFile::isValidSourceFound() const { return FromSource != L"none"; }

std::wstring TConfigFile::getDynamicNameFromAPPName(std::wstring_view keyword) const {
  const std::size_t mark = exeFileName_.find(L"_T");
  if (mark == std::wstring::npos || !common::HasSubStr(keyword, exeFileName_)) return std::wstring();
  return exeFileName_.substr(0, mark);
}

void getSourceFromExeName(std::wstring_view exeFileName, std::wstring& source, std::wstring& keywordId) {
  source.clear();
  keywordId.clear();
  const std::size_t lastUnderscore = exeFileName.rfind(L'_');
  if (lastUnderscore == std::wstring_view::npos) {
    source = L"none";
    return;
  }
  if (const std::size_t k = exeFileName.find(L"-k"); k != std::wstring_view::npos) {
    const std::wstring_view rest = exeFileName.substr(k + 2);
    keywordId = std::wstring(rest.substr(0, rest.find(L'_')));
  }
  std::wstring suffix(exeFileName.substr(lastUnderscore + 1));
  if (suffix.size() >= 4 && common::UpperCase(suffix.substr(suffix.size() - 4)) == L".EXE") {
    suffix = common::DeleteRightChars(suffix, 4);
  }
  // Copy counters that browsers add to repeated downloads.
  for (const wchar_t* counter : {L"(1)", L"(2)", L"(3)", L"(4)", L"(5)", L"[1]", L"[2]", L"[3]", L"[4]", L"[5]"}) {
    suffix = common::ReplaceAll(suffix, counter, L"", false);
  }
  source = isValidSourceText(suffix) ? suffix : L"none";
}

bool isValidSourceText(std::wstring_view text) {
  for (const wchar_t ch : text) {
    const auto code = static_cast<std::uint32_t>(ch);
    if (code < 45 || code > 128) return false;
  }
  return true;
}

void saveSourceToReg(std::wstring_view softId, std::wstring_view source, std::wstring_view keywordId) {
  sys::WriteRegString(sys::RegRoot::CurrentUser, ProductKey(softId), L"source", source);
  if (!keywordId.empty()) sys::WriteRegString(sys::RegRoot::CurrentUser, ProductKey(softId), L"kid", keywordId);
}

std::wstring readSourceFromReg(std::wstring_view softId) {
  return sys::ReadRegString(sys::RegRoot::CurrentUser, ProductKey(softId), L"source");
}

std::wstring MainProgInPackage(std::string_view configFileData) {
  const json document = AsObject(ParseDocument(configFileData));
  const std::wstring mainProg = ReadText(document, "MainProg");
  if (mainProg.empty()) return std::wstring();
  std::wstring path = common::ReplaceAll(ReadText(document, "MainProgPath") + mainProg, L"\\", L"/", false);
  while (!path.empty() && path.front() == L'/') path.erase(0, 1);
  return path;
}

std::wstring ExpandFolderMacros(std::wstring_view text, std::wstring_view appDataDir, std::wstring_view localAppDataDir) {
  return common::ReplaceAll(common::ReplaceAll(text, L"%appdata%", appDataDir, false), L"%localappdata%",
                            localAppDataDir, false);
}

}  // namespace installer
