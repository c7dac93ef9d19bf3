// A program built from another product folder carries that folder's files, and only those: the
// same mechanism that INSTALLER_PRODUCT_DIR applies to the installer.
#include <gtest/gtest.h>

#include "picture_resources.h"
#include "system/resources.h"

namespace {

TEST(OtherProduct, ItsOwnFilesAreEmbedded) {
  // Its two LF-ended lines come back ending in CR LF.
  EXPECT_EQ(sys::LoadResourceText(L"configfile", L"file"),
            L"{\"SoftId\": \"other_product_win\", \"Title\": \"Other\", \"Version\": \"2.0\",\r\n"
            L" \"ProgramDirName\": \"Other\", \"MainProg\": \"other.exe\", \"MainProgPath\": \"\\\\\", \"ShortcutName\": \"Other\"}\r\n");
  EXPECT_TRUE(sys::ResourceExists(L"ZIPFILE", L"FILE"));
  EXPECT_EQ(sys::LoadResourceBytes(L"zipfile", L"file").size(), 22u);
  EXPECT_TRUE(sys::ResourceExists(L"logo", L"file"));
  EXPECT_FALSE(sys::ResourceExists(L"bgpic", L"file"));  // the shipped product's image is not there
}

// The program carries its own picture for each one the product folder lacks, and only those: each
// picture of the windows is there once, the product's own (logo, dialogs) as type "file".
TEST(OtherProduct, TheProgramsOwnPicturesFillInWhatItLacks) {
  EXPECT_EQ(test_support::ExpectEachPictureCarriedOnce("tests/system/other_product"), 10) << "its logo and dialog pictures";
}

}  // namespace
