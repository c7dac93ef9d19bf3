// The product configuration: the JSON document embedded in the executable, parsed once at start-up
// into plain fields, and the installation source (channel) with its keyword id, which install mode
// works out from the executable's file name and records in the registry for the uninstaller.
// Building the configuration touches no registry; recording or reading the source is a step of
// its own (syncSourceWithRegistry).
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace installer {

// What the configuration needs from the running program.
struct TConfigContext {
  std::wstring exeFileName;                       // file name of the running executable, with extension
  std::function<std::wstring()> appDataDir;       // roaming application-data folder, no trailing separator
  std::function<std::wstring()> localAppDataDir;  // local application-data folder, no trailing separator
};

// Whether a product identifier can name the product's registry keys (HKCU\SOFTWARE\<SoftId>, the
// Uninstall entry, the Run value) and its temporary package file: not empty, not "." or "..", and
// without control characters or any of \ / : * ? " < > |. An empty one would write into
// HKCU\SOFTWARE and the Uninstall key themselves; a separator would reach into other keys and
// folders.
bool IsUsableSoftId(std::wstring_view softId);

class TConfigFile {
 public:
  // Parses the document's bytes (UTF-8; a leading byte-order mark is skipped, and each invalid
  // sequence reads as U+FFFD) and fills every field. In install mode the installation source is
  // the document's "FromSource" or, when that is empty, the one the executable's name carries; in
  // uninstall mode it stays empty until syncSourceWithRegistry reads it. A text that is not a
  // JSON object reads like an empty document.
  TConfigFile(std::string_view configFileData, bool bInstallMode, const TConfigContext& context);

  // False for a document the program cannot run with: not a JSON object (an empty text included),
  // a "SoftId" that is not usable (IsUsableSoftId), or a "PackageKey" member that is not the
  // maker's public key (see ParsePackageKey in installer/file_digest.h; an empty text or null
  // counts as damaged too, so that a slip can never switch the signature check off). Start-up
  // treats such a document like a missing configuration.
  bool isUsable() const { return usable_; }

  // Install mode saves the installation source (and keyword id) under
  // HKEY_CURRENT_USER\SOFTWARE\<SoftId>; uninstall mode reads FromSource from there. Registry
  // errors (see WriteRegString / ReadRegString) reach the caller.
  void syncSourceWithRegistry();

  // True unless FromSource is "none" (an empty source counts as found).
  bool isValidSourceFound() const;
  // The part of the executable's file name before its first "_T" when the name contains "_T" and
  // keyword (both case-sensitive); empty otherwise.
  std::wstring getDynamicNameFromAPPName(std::wstring_view keyword) const;

  bool FbInstallMode = true;
  std::wstring Title;
  std::wstring SoftId;
  std::wstring Version;
  std::wstring FromSource;
  std::wstring FromKeywordID;
  std::wstring BigTitle;
  std::wstring Description;
  std::wstring ProgramDirName;
  std::wstring MainProgPath;
  std::wstring MainProg;
  std::wstring ShortcutName;
  std::wstring OpenWebsiteAfterInstall;
  std::wstring OpenWebsiteAfterUninstall;
  bool XPSupported = false;
  std::wstring ConfigPathForUinstall;
  std::wstring AfterInstBat1;
  std::wstring AfterInstBat2;
  std::wstring ConfigFileDeletedBeforeInstall;
  bool DotNetCheck = false;
  std::wstring DotNetVerRequired;
  bool RunAtStartup = false;
  bool StartupByService = false;
  std::wstring ServiceExeFileName;
  std::wstring ServiceName;
  std::wstring ServiceDisplayName;
  bool RunAsAdmin = false;
  std::wstring ProductURL;
  std::wstring RegDllName;
  std::wstring RegDllName2;
  std::wstring RegDllName3;
  std::wstring ProtocalRootKeyName;
  std::wstring Protocalname;
  std::vector<std::wstring> AssociatedExts;
  bool AutoStartInstall = false;
  // The maker's public key (128 hexadecimal digits, X then Y of a P-256 point). When present, a
  // downloaded package is installed only with the maker's signature; empty: no signature asked for.
  std::wstring PackageKey;

 private:
  std::wstring exeFileName_;
  bool usable_ = false;
};

// Installation source and keyword id carried by an executable's file name (with extension), e.g.
// Brisklens-k123_web(1).exe: source "web", keyword id "123". A name without "_" gives source "none".
void getSourceFromExeName(std::wstring_view exeFileName, std::wstring& source, std::wstring& keywordId);

// True when every character lies between '-' (45) and code 128, both included; true for empty text.
bool isValidSourceText(std::wstring_view text);

// Writes "source", and "kid" when keywordId is not empty, under HKEY_CURRENT_USER\SOFTWARE\<softId>.
void saveSourceToReg(std::wstring_view softId, std::wstring_view source, std::wstring_view keywordId);
// The "source" value stored for softId; empty when missing.
std::wstring readSourceFromReg(std::wstring_view softId);

// Where a package must hold the main program: MainProgPath + MainProg as the installer joins them
// below the install folder, without the leading separator and with "/" between folders (as ZIP
// names are written). configFileData is read as TConfigFile reads it. Empty when the document is
// not a JSON object or names no main program.
std::wstring MainProgInPackage(std::string_view configFileData);

// Every "%appdata%", then every "%localappdata%", in any letter case, replaced by the folders.
std::wstring ExpandFolderMacros(std::wstring_view text, std::wstring_view appDataDir, std::wstring_view localAppDataDir);

}  // namespace installer
