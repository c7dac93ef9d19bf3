// The package password that the installer keeps: the stored form made at configure time must
// decode to the build's password, and must be exactly what the project's own encoder makes of it
// (the configure step enciphers with the openssl tool, the program deciphers with its own AES).
#include "installer/package_password.h"

#include <gtest/gtest.h>

#include "common/stored_string.h"
#include "common/text.h"
#include "package_password_plain.h"
#include "stored_encoder.h"

namespace {

TEST(PackagePassword, StoredFormDecodesToTheBuildsPassword) {
  const std::wstring plain = common::Utf8ToWide(kPlainPackagePassword);
  EXPECT_EQ(common::DecodeStoredString(installer::kStoredPackagePassword), plain);
  EXPECT_EQ(tools::EncodeStoredString(plain, common::kStoredValueKey), installer::kStoredPackagePassword);
  EXPECT_EQ(installer::kStoredPackagePassword.find(plain), std::wstring_view::npos);
}

}  // namespace
