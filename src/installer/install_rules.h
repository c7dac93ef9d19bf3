// Rules of the install operation: where the progress bar stands during download and extraction,
// which configured extensions are associated, which drive receives the product when the chosen one
// is too full, and the web addresses opened when the finished installer or uninstaller is left.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace installer {

// Bar position during the download: 10 plus 0.7 per whole percent received, so 80 at 100 %.
// Without a known total (0 or less) the bar stays at 10 until the download ends; a server that
// sends more than it announced cannot push the bar past 80.
int DownloadBarPosition(std::int64_t received, std::int64_t total);

// Bar position during extraction: 80 plus 0.15 per percent, so 95 at 100 %.
int UnzipBarPosition(int percent);

// Whether an item of AssociatedExts names an extension that can be associated: a key of its own
// directly below the classes root. An empty item or "." (what "*", "*.*" and a trailing "|" leave)
// would write the default value of the classes root itself and a class named "File"; an item with
// a backslash would reach into another key.
bool IsAssociableExt(const std::wstring& ext);

// Free megabytes of a drive such as "D:"; false when they cannot be read.
using FreeSpaceQuery = std::function<bool(const std::wstring& drive, std::int64_t& freeMB)>;

inline constexpr std::int64_t kNeededMB = 200;       // on the chosen drive
inline constexpr std::int64_t kReplacementMB = 150;  // a replacement drive must have more than this

// "X:" for the first drive from C to Z whose free space can be read and exceeds 150 MB; empty
// when there is none.
std::wstring FindInstallDrive(const FreeSpaceQuery& freeSpace);

// The folder to install into: targetDir itself when its drive has 200 MB free or its free space
// cannot be read; otherwise the replacement drive + "\" + programDirName; nothing when no drive
// qualifies.
std::optional<std::wstring> ChooseInstallDir(const std::wstring& targetDir, const std::wstring& programDirName,
                                             const FreeSpaceQuery& freeSpace);

class TConfigFile;

// Whether the product's own program runs as SYSTEM: a Windows service started with Windows. Its
// folder must then be out of the reach of programs without administrator rights.
bool RunsAsSystem(const TConfigFile& config);

// The start of the names of this product's run folders in the temporary folder: "inst-", the
// product identifier's letters, digits, "-" and "_" (at most 40 of them), and "-".
std::wstring RunFolderPrefix(std::wstring_view softId);

// The configured web address with every "[Version]" replaced, and then every "[from]" when a
// source is given; letter case is ignored in both. Each value goes in percent-encoded.
std::wstring ExpandWebAddress(const std::wstring& address, const std::wstring& version,
                              const std::optional<std::wstring>& from = std::nullopt);

}  // namespace installer
