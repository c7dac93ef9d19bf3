#include "installer/run_mode.h"

#include "common/stored_string.h"

namespace installer {
namespace {

// Stored values (see DecodeStoredString): the auto-install switch, the three product identifiers
// that take their name from the executable, and the keywords of the first and of the other two.
constexpr std::wstring_view kAutoInstallSwitch = L"08000000D4275207182C197FF3ECAF5F65732514";
constexpr std::wstring_view kNamedProduct1 = L"0D00000005754A24E2E871C6AED7F19B0FE1D311";
constexpr std::wstring_view kNamedProduct2 = L"0E000000FCA6388D736208C3B774AFB748739ACA";
constexpr std::wstring_view kNamedProduct3 = L"0B000000FD1A3F4CB35A4616D411BD9190B0F291";
constexpr std::wstring_view kNameKeyword1 = L"03000000CACC3E43D5FAA4D0E9F32481764DF288";
constexpr std::wstring_view kNameKeyword2 = L"0300000073AC06CF8D9EB0A3100E8168DFC0FF12";

}  // namespace

bool IsInstallModeName(std::wstring_view exeFileName) { return exeFileName != L"unin.exe"; }

bool IsHiddenAutoInstallArgument(std::wstring_view firstArgument) { return firstArgument == L"astart"; }

bool IsShownAutoInstallArgument(std::wstring_view firstArgument) {
  return !firstArgument.empty() && firstArgument == common::DecodeStoredString(kAutoInstallSwitch);
}

std::wstring getNameFromExe(const TConfigFile& config) {
  std::wstring keyword;
  if (config.SoftId == common::DecodeStoredString(kNamedProduct1)) {
    keyword = common::DecodeStoredString(kNameKeyword1);
  } else if (config.SoftId == common::DecodeStoredString(kNamedProduct2) ||
             config.SoftId == common::DecodeStoredString(kNamedProduct3)) {
    keyword = common::DecodeStoredString(kNameKeyword2);
  } else {
    return std::wstring();
  }
  return config.getDynamicNameFromAPPName(keyword);
}

}  // namespace installer
