// The one JSON reader: nesting up to the limit is read, deeper documents are no value, in both
// kinds of container and mixed, whether trailing text is refused or ignored.
#include "common/json.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

namespace {

// depth containers, each holding the next: arrays, objects ({"a":...}) or both in turn.
std::string Nested(std::size_t depth, const std::string& kind) {
  std::string open, close;
  for (std::size_t level = 0; level < depth; ++level) {
    const bool array = kind == "array" || (kind == "mixed" && level % 2 == 0);
    open += array ? "[" : R"({"a":)";
    close.insert(0, array ? "]" : "}");
  }
  return open + "1" + close;
}

TEST(ParseJson, NestingUpToTheLimitIsRead) {
  for (const std::string kind : {"array", "object", "mixed"}) {
    for (const auto trailing : {common::JsonTrailing::kRefused, common::JsonTrailing::kIgnored}) {
      const struct {
        std::size_t depth;
        bool read;
      } cases[] = {{1, true}, {common::kMaxJsonDepth, true}, {common::kMaxJsonDepth + 1, false}, {5000, false}};
      for (const auto& c : cases) {
        const std::string text = Nested(c.depth, kind);
        const auto value = common::ParseJson(text, trailing);
        EXPECT_EQ(value.has_value(), c.read) << kind << " " << c.depth;
        if (value) {
          EXPECT_EQ(value->dump(), text) << kind << " " << c.depth;
        }
      }
    }
  }
}

// Containers that close again do not count towards the limit: only how deep they stand.
TEST(ParseJson, SiblingsDoNotAddUp) {
  std::string text = "[";
  for (std::size_t i = 0; i < 3 * common::kMaxJsonDepth; ++i) text += (i ? "," : "") + Nested(common::kMaxJsonDepth - 1, "array");
  text += "]";
  EXPECT_TRUE(common::ParseJson(text, common::JsonTrailing::kRefused).has_value());
}

}  // namespace
