// The embedded files as the running installer reaches them (TProcessContext::Current): writing one
// out either leaves the resource's bytes at the destination or answers false, and never raises,
// so that the install reports a package it could not write out as "CreateResFile".
#include <gtest/gtest.h>

#include <filesystem>

#include "installer/main_form.h"
#include "support/temp_folder.h"
#include "system/resources.h"

namespace {

using test_support::FsPath;
using test_support::TempFolder;

TEST(EmbeddedFiles, WritingOneOutGivesItsBytesOrFalse) {
  const installer::TEmbeddedFiles files = installer::TProcessContext::Current({}, nullptr).resources;
  const std::vector<std::uint8_t> bytes = sys::LoadResourceBytes(L"configfile", L"file");
  ASSERT_FALSE(bytes.empty());
  const std::string expected(bytes.begin(), bytes.end());

  TempFolder dir(L"embedded");
  const auto at = [&](const char* relative) { return test_support::WidePath(FsPath(dir.Path()) / relative); };
  const struct {
    const char* name;
    std::wstring destination;
    void (*arrange)(const std::wstring& destination);
    bool written;
  } cases[] = {
      {"a new file", at("new.zip"), [](const std::wstring&) {}, true},
      {"an older file replaced", at("old.zip"),
       [](const std::wstring& d) { test_support::WriteFile(d, std::string(100000, 'x')); }, true},
      {"a folder of that name", at("folder.zip"),
       [](const std::wstring& d) {
         std::filesystem::create_directories(FsPath(d));
         test_support::WriteFile(test_support::WidePath(FsPath(d) / "inside.txt"), "kept");
       },
       false},
      {"a missing folder", at("missing/x.zip"), [](const std::wstring&) {}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    c.arrange(c.destination);
    bool written = !c.written;
    EXPECT_NO_THROW(written = files.extract(L"configfile", c.destination));
    EXPECT_EQ(written, c.written);
    if (c.written) {
      EXPECT_EQ(test_support::ReadFile(c.destination), expected);
    }
  }
  EXPECT_EQ(test_support::ReadFile(at("folder.zip/inside.txt")), "kept");
  EXPECT_FALSE(files.extract(L"nosuch", at("nosuch.zip"))) << "a missing resource is not written either";
}

}  // namespace
