// The program's one JSON reader, for the product's configuration and the API server's answers.
// Every document goes through the same instantiation of the parser, which is most of what JSON
// costs the installer's size, and nothing is raised: a malformed document is no value.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include <nlohmann/json_fwd.hpp>

namespace common {

// Whether text after the first complete value makes the document malformed.
enum class JsonTrailing { kRefused, kIgnored };

// The deepest nesting of arrays and objects a document may have. No configuration or answer comes
// near it; a deeper one, such as a server's megabyte of nested brackets, would make every
// recursive walk of the value (a copy, a comparison, a dump) overrun a thread's stack.
inline constexpr std::size_t kMaxJsonDepth = 64;

// The value text holds, which must be valid UTF-8; nothing when it is not JSON, or when it is
// nested deeper than kMaxJsonDepth.
std::optional<nlohmann::json> ParseJson(std::string_view text, JsonTrailing trailing);

}  // namespace common
