#include "installer/companion.h"

#include <string_view>

#include "common/stored_string.h"

namespace installer {

namespace {

constexpr std::wstring_view kCompanionProduct = L"12000000D2E2AC4457E4A119C266D898761CE6908B932621D70976BC6F001A7F01A4ED3D";
constexpr std::wstring_view kCompanionFile = L"0F000000C77044ABAF99A1150AE9B682D738FEAF";

}  // namespace

std::optional<std::wstring> CompanionFileFor(const std::wstring& softId) {
  if (softId.empty() || softId != common::DecodeStoredString(kCompanionProduct)) return std::nullopt;
  return common::DecodeStoredString(kCompanionFile);
}

}  // namespace installer
