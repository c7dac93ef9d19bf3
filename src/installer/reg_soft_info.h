// The settings store on one registry key, kept open for the object's life: Booleans and integers
// as REG_DWORD, text as REG_SZ (REG_EXPAND_SZ read unexpanded), doubles as the 8 little-endian
// bytes of a REG_BINARY value.
#pragma once

#include "installer/abstract_info.h"
#include "system/registry.h"

namespace installer {

class TRegSoftInfo : public TAbstractInfo {
 public:
  // Opens root\keyPath with full access, creating it when missing. When that fails the store
  // still works: reads give their defaults and writes do nothing.
  TRegSoftInfo(sys::RegRoot root, std::wstring_view keyPath);
  ~TRegSoftInfo() override;

  using TAbstractInfo::ReadValue;
  using TAbstractInfo::WriteValue;

  bool DeleteValue(std::wstring_view sValueName) override;
  bool ReadValue(std::wstring_view sValueName, bool defaultValue) override;
  std::wstring ReadValue(std::wstring_view sValueName, const std::wstring& defaultValue) override;
  std::int32_t ReadValue(std::wstring_view sValueName, std::int32_t defaultValue) override;
  double ReadValue(std::wstring_view sValueName, double defaultValue) override;
  void WriteValue(std::wstring_view sValueName, bool value) override;
  void WriteValue(std::wstring_view sValueName, const std::wstring& value) override;
  void WriteValue(std::wstring_view sValueName, std::int32_t value) override;
  void WriteValue(std::wstring_view sValueName, double value) override;

 private:
  sys::RegKey FReg;
};

}  // namespace installer
