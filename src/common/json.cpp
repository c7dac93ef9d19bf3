#include "common/json.h"

#include <nlohmann/json.hpp>

namespace common {

std::optional<nlohmann::json> ParseJson(std::string_view text, JsonTrailing trailing) {
  nlohmann::json document;
  nlohmann::detail::json_sax_dom_parser<nlohmann::json> builder(document, /*allow_exceptions_=*/false);
  if (!nlohmann::json::sax_parse(text, &builder, nlohmann::json::input_format_t::json,
                                 /*strict=*/trailing == JsonTrailing::kRefused) ||
      builder.is_errored())
    return std::nullopt;
  return document;
}

}  // namespace common
