// A small typed key/value store for per-product settings. Implementations never raise: a read
// that finds nothing usable returns the caller's default and a failed write is ignored.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace installer {

class TAbstractInfo {
 public:
  virtual ~TAbstractInfo() = default;

  // True when the value was there and is now gone.
  virtual bool DeleteValue(std::wstring_view sValueName) = 0;
  virtual bool ReadValue(std::wstring_view sValueName, bool defaultValue) = 0;
  virtual std::wstring ReadValue(std::wstring_view sValueName, const std::wstring& defaultValue) = 0;
  virtual std::int32_t ReadValue(std::wstring_view sValueName, std::int32_t defaultValue) = 0;
  virtual double ReadValue(std::wstring_view sValueName, double defaultValue) = 0;
  virtual void WriteValue(std::wstring_view sValueName, bool value) = 0;
  virtual void WriteValue(std::wstring_view sValueName, const std::wstring& value) = 0;
  virtual void WriteValue(std::wstring_view sValueName, std::int32_t value) = 0;
  virtual void WriteValue(std::wstring_view sValueName, double value) = 0;

  // A string literal is text, not a Boolean (which the pointer would otherwise convert to).
  std::wstring ReadValue(std::wstring_view sValueName, const wchar_t* defaultValue) {
    return ReadValue(sValueName, std::wstring(defaultValue));
  }
  void WriteValue(std::wstring_view sValueName, const wchar_t* value) { WriteValue(sValueName, std::wstring(value)); }
};

}  // namespace installer
