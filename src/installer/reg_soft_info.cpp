#include "installer/reg_soft_info.h"

#include <bit>
#include <optional>
#include <vector>

#include "system/registry_values.h"

namespace installer {
namespace {

namespace reg = sys::reg;

// The bytes of a value of that type and size, when it exists so.
std::optional<std::vector<std::uint8_t>> Query(const sys::RegKey& key, std::wstring_view name, std::uint32_t type,
                                               std::size_t size) {
  std::uint32_t found = 0;
  std::vector<std::uint8_t> data;
  if (key.QueryValue(name, found, data) != reg::kSuccess || found != type || data.size() != size) return std::nullopt;
  return data;
}

std::uint64_t FromLittleEndian(const std::vector<std::uint8_t>& bytes) {
  std::uint64_t value = 0;
  for (std::size_t i = bytes.size(); i-- > 0;) value = (value << 8) | bytes[i];
  return value;
}

std::vector<std::uint8_t> ToLittleEndian(std::uint64_t value, std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  for (auto& b : bytes) {
    b = static_cast<std::uint8_t>(value & 0xFF);
    value >>= 8;
  }
  return bytes;
}

std::optional<std::uint32_t> QueryDword(const sys::RegKey& key, std::wstring_view name) {
  const auto data = Query(key, name, reg::kRegDword, 4);
  if (!data) return std::nullopt;
  return static_cast<std::uint32_t>(FromLittleEndian(*data));
}

}  // namespace

TRegSoftInfo::TRegSoftInfo(sys::RegRoot root, std::wstring_view keyPath) {
  sys::RegKey::Create(root, keyPath, reg::kKeyAllAccess | reg::kWow64_32Key, FReg);
}

TRegSoftInfo::~TRegSoftInfo() = default;

bool TRegSoftInfo::DeleteValue(std::wstring_view sValueName) {
  return FReg.DeleteValue(sValueName) == reg::kSuccess;
}

bool TRegSoftInfo::ReadValue(std::wstring_view sValueName, bool defaultValue) {
  const auto number = QueryDword(FReg, sValueName);
  return number ? *number != 0 : defaultValue;
}

std::wstring TRegSoftInfo::ReadValue(std::wstring_view sValueName, const std::wstring& defaultValue) {
  std::wstring text;
  return sys::QueryStringValue(FReg, sValueName, text) == reg::kSuccess ? text : defaultValue;
}

std::int32_t TRegSoftInfo::ReadValue(std::wstring_view sValueName, std::int32_t defaultValue) {
  const auto number = QueryDword(FReg, sValueName);
  return number ? static_cast<std::int32_t>(*number) : defaultValue;
}

double TRegSoftInfo::ReadValue(std::wstring_view sValueName, double defaultValue) {
  const auto data = Query(FReg, sValueName, reg::kRegBinary, sizeof(double));
  return data ? std::bit_cast<double>(FromLittleEndian(*data)) : defaultValue;
}

void TRegSoftInfo::WriteValue(std::wstring_view sValueName, bool value) {
  WriteValue(sValueName, static_cast<std::int32_t>(value ? 1 : 0));
}

void TRegSoftInfo::WriteValue(std::wstring_view sValueName, const std::wstring& value) {
  sys::SetStringValue(FReg, sValueName, value);
}

void TRegSoftInfo::WriteValue(std::wstring_view sValueName, std::int32_t value) {
  FReg.SetValue(sValueName, reg::kRegDword, ToLittleEndian(static_cast<std::uint32_t>(value), 4));
}

void TRegSoftInfo::WriteValue(std::wstring_view sValueName, double value) {
  FReg.SetValue(sValueName, reg::kRegBinary, ToLittleEndian(std::bit_cast<std::uint64_t>(value), sizeof(double)));
}

}  // namespace installer
