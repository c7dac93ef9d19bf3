// Checks that a program carries each picture of the windows once: as the product's skin (type
// "file") when the product folder brings it, otherwise as the program's own (type "picture").
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "support/picture_table.h"
#include "system/resources.h"

namespace test_support {

// folder: the product folder the program was built from, below the source tree. Returns how many
// pictures the folder brings.
inline int ExpectEachPictureCarriedOnce(const std::string& folder) {
  const auto table = PictureTable();
  EXPECT_EQ(table.size(), 26u) << "the table of pictures was read";
  int fromProduct = 0;
  for (const auto& p : table) {
    SCOPED_TRACE(p.name);
    const bool inFolder = static_cast<bool>(std::ifstream(TEST_SOURCE_DIR "/" + folder + "/" + p.name + ".png"));
    fromProduct += inFolder;
    const std::wstring name(p.name.begin(), p.name.end());
    EXPECT_EQ(sys::ResourceExists(name, L"file"), inFolder);
    EXPECT_EQ(sys::ResourceExists(name, L"PICTURE"), !inFolder);
  }
  return fromProduct;
}

}  // namespace test_support
