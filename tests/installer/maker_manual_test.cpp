// The maker's manual (docs/maker.md) states the file name's channel rules as a table of examples;
// every row must be what the installer really makes of that name.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/text.h"
#include "installer/config_file.h"

namespace {

struct Row {
  std::string name, source, kid, startsByItself;
};

std::string Trimmed(std::string text) {
  const auto first = text.find_first_not_of(" `");
  const auto last = text.find_last_not_of(" `");
  return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

std::vector<Row> FileNameTable() {
  std::ifstream file(std::string(TEST_SOURCE_DIR) + "/docs/maker.md");
  std::vector<Row> rows;
  bool inside = false;
  for (std::string line; std::getline(file, line);) {
    if (line.starts_with("<!-- file-name-table")) inside = true;
    if (line.starts_with("<!-- end of file-name-table")) break;
    if (!inside || !line.starts_with("| `")) continue;
    std::vector<std::string> cells;
    std::stringstream cellsOf(line.substr(1));
    for (std::string cell; std::getline(cellsOf, cell, '|');) cells.push_back(Trimmed(cell));
    if (cells.size() >= 4) rows.push_back({cells[0], cells[1], cells[2], cells[3]});
  }
  return rows;
}

TEST(MakerManual, FileNameTableIsWhatTheInstallerMakesOfEachName) {
  const std::vector<Row> rows = FileNameTable();
  ASSERT_GE(rows.size(), 10u) << "the table between the file-name-table markers of docs/maker.md";
  for (const Row& row : rows) {
    std::wstring source, kid;
    installer::getSourceFromExeName(common::Utf8ToWide(row.name), source, kid);
    EXPECT_EQ(common::WideToUtf8(source), row.source) << row.name;
    EXPECT_EQ(common::WideToUtf8(kid), row.kid) << row.name;
    EXPECT_EQ(source != L"none" ? "yes" : "no", row.startsByItself) << row.name;
  }
}

}  // namespace
