// The table of the windows' pictures (resources/pictures.json): name, size and kind of each, in the
// table's order. Tests read it from the source tree.
#pragma once

#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace test_support {

struct TablePicture {
  std::string name;
  int width = 0;
  int height = 0;
  std::string kind;  // "skin" or "design"
};

inline std::vector<TablePicture> PictureTable() {
  std::vector<TablePicture> table;
  std::ifstream file(TEST_SOURCE_DIR "/resources/pictures.json");
  const nlohmann::json document = nlohmann::json::parse(file, nullptr, /*allow_exceptions=*/false);
  if (!document.is_object() || !document.contains("pictures")) return table;
  for (const auto& p : document["pictures"]) {
    table.push_back({p.value("name", ""), p.value("width", 0), p.value("height", 0), p.value("kind", "")});
  }
  return table;
}

}  // namespace test_support
