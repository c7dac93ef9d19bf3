// The host build's embedded files: a table generated from the product folder at build time
// (cmake/ProductResources.cmake), one entry a file, named like the Windows build's resources.
#pragma once

#include <cstddef>

namespace sys {

struct EmbeddedFile {
  const char* name;  // upper case, e.g. "CONFIGFILE"
  const char* type;  // "FILE"
  const unsigned char* begin;
  const unsigned char* end;
};

extern const EmbeddedFile kEmbeddedFiles[];
extern const std::size_t kEmbeddedFileCount;

}  // namespace sys
