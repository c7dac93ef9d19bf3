// Where an entry may land: its name made into path segments below the destination folder, or
// refused when it would reach anywhere else.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zip {

// Splits the name at either slash and resolves "." and ".." segments. False when the name is
// absolute, names a drive or a stream (any ':'), names a Windows device (CON, NUL, COM1, ...),
// holds a control character or a segment of dots and spaces only, or climbs above its root.
// A name that resolves to nothing (the root itself) yields true with no segments.
bool SplitZipEntryPath(std::wstring_view name, std::vector<std::wstring>& segments);

}  // namespace zip
