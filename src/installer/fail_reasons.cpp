#include "installer/fail_reasons.h"

namespace installer {

namespace {

constexpr std::wstring_view kAskSupport = L"安装失败，请联系官网客服获取免安装包！";
constexpr std::wstring_view kBlockedUnzip = L"文件解压失败，可能是被杀毒软件拦截导致，建议退出杀毒软件后重试！";

// Indexed by FatalFailure.
constexpr FailReason kReasons[] = {
    {L"CreateResFile", 0, MessageKind::kMessageBox, L"资源不存在,安装包已损坏!", ExitCode::kCreateResFile},
    {L"GetSoftDownloadInfo", 0, MessageKind::kMessageDialog, kAskSupport, ExitCode::kGetSoftDownloadInfo},
    {L"url_empty", 0, MessageKind::kMessageDialog, kAskSupport, ExitCode::kUrlEmpty},
    {L"download_zip_fail", 0, MessageKind::kMessageDialog, kAskSupport, ExitCode::kDownloadZipFail},
    {L"zip_file_not_exist", 0, MessageKind::kMessageDialog, kBlockedUnzip, ExitCode::kZipFileNotExist},
    {L"unzip_failed", 0, MessageKind::kMessageDialog, kBlockedUnzip, ExitCode::kUnzipFailed},
    {L"install_dir_refused", 0, MessageKind::kMessageDialog, L"", ExitCode::kInstallDirRefused},
};

}  // namespace

const FailReason& ReasonOf(FatalFailure failure) { return kReasons[static_cast<int>(failure)]; }

}  // namespace installer
