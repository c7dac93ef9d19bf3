// HTTP's rules for continuing a broken download with a range request: which validator may go
// into If-Range, and whether a 206 answer continues exactly the body already received.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace net {

// An entity tag that may be compared byte for byte: a quoted tag without the weak prefix "W/".
bool IsStrongEtag(std::wstring_view etag);

// Seconds since 1970-01-01 00:00:00 UTC of an HTTP date in any of the three forms that
// recipients must accept: "Sun, 06 Nov 1994 08:49:37 GMT", "Sunday, 06-Nov-94 08:49:37 GMT" and
// "Sun Nov  6 08:49:37 1994". Nothing for anything else.
std::optional<std::int64_t> ParseHttpDate(std::wstring_view text);

// The validators of a body as its answer announced them (header values, empty when absent).
struct BodyValidators {
  std::wstring etag;
  std::wstring lastModified;
  std::wstring date;
};

// The If-Range value that makes a resumed request safe: the strong ETag; without one, the
// Last-Modified date when it counts as strong (the answer's Date lies at least a minute after
// it, so the file cannot have changed twice within that second); otherwise empty, and the body
// cannot be resumed.
std::wstring IfRangeValue(const BodyValidators& first);

struct ContentRange {
  std::int64_t first = 0;
  std::int64_t last = 0;
  std::int64_t complete = 0;
};

// "bytes FIRST-LAST/COMPLETE" with first <= last < complete; nothing for an unknown complete
// length ("*"), an unsatisfied range or any other form.
std::optional<ContentRange> ParseContentRange(std::wstring_view text);

// What a 206 answer to "Range: bytes=FROM-" said about itself.
struct PartialAnswer {
  std::wstring contentRange;
  std::int64_t contentLength = -1;  // -1 when not announced
  BodyValidators validators;
};

// True when the partial answer is exactly the rest of the body that the first answer began:
// it starts at from, ends at the last byte of the same total, announces no other length, and
// carries no ETag or Last-Modified other than the first answer's.
bool ContinuesBody(const PartialAnswer& answer, std::int64_t from, std::int64_t total, const BodyValidators& first);

}  // namespace net
