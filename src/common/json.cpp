#include "common/json.h"

#include <nlohmann/json.hpp>

namespace common {
namespace {

using DomBuilder = nlohmann::detail::json_sax_dom_parser<nlohmann::json>;

// The parser's own builder of the value, which stops the parse at the first array or object that
// would lie deeper than kMaxJsonDepth. The parser itself keeps no stack of its own calls.
class DepthLimitedBuilder : public DomBuilder {
 public:
  using DomBuilder::DomBuilder;
  bool start_object(std::size_t elements) { return Enter() && DomBuilder::start_object(elements); }
  bool start_array(std::size_t elements) { return Enter() && DomBuilder::start_array(elements); }
  bool end_object() {
    --depth_;
    return DomBuilder::end_object();
  }
  bool end_array() {
    --depth_;
    return DomBuilder::end_array();
  }

 private:
  bool Enter() { return ++depth_ <= kMaxJsonDepth; }
  std::size_t depth_ = 0;
};

}  // namespace

std::optional<nlohmann::json> ParseJson(std::string_view text, JsonTrailing trailing) {
  nlohmann::json document;
  DepthLimitedBuilder builder(document, /*allow_exceptions_=*/false);
  if (!nlohmann::json::sax_parse(text, &builder, nlohmann::json::input_format_t::json,
                                 /*strict=*/trailing == JsonTrailing::kRefused) ||
      builder.is_errored())
    return std::nullopt;
  return document;
}

}  // namespace common
