#include "zip/zip_stream.h"

#include <algorithm>
#include <cstring>

namespace zip {

bool ZipMemoryInput::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) {
  if (offset > bytes_.size() || out.size() > bytes_.size() - offset) return false;
  if (!out.empty()) std::memcpy(out.data(), bytes_.data() + offset, out.size());
  return true;
}

std::size_t ZipRangeSource::Read(std::span<std::uint8_t> out) {
  if (failed_ || left_ == 0 || out.empty()) return 0;
  const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>({left_, out.size(), chunkLimit_}));
  if (!input_.ReadAt(offset_, out.first(n))) {
    failed_ = true;
    return 0;
  }
  offset_ += n;
  left_ -= n;
  if (onRead_) onRead_(n);
  return n;
}

}  // namespace zip
