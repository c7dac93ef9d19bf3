#include "stored_encoder.h"

#include <algorithm>

#include "common/stored_string.h"
#include "common/text.h"

namespace tools {

std::wstring EncodeStoredString(std::wstring_view plain, std::wstring_view key) {
  const std::string keyBytes = common::WideToAnsi(key);
  const std::string text = common::WideToAnsi(plain);

  common::TBlock keyBlock{};
  std::copy_n(keyBytes.begin(), common::MinInt(16, keyBytes.size()), keyBlock.begin());
  const crypto::Aes aes(keyBlock);

  const std::size_t blocks = std::max<std::size_t>(1, (text.size() + 15) / 16);
  std::vector<std::uint8_t> data(blocks * 16, 0);
  std::copy(text.begin(), text.end(), data.begin());
  if (!aes.Encrypt(data, data)) return {};

  common::TMyStringStream out;
  const auto length = static_cast<std::uint32_t>(text.size());
  const std::uint8_t header[4] = {static_cast<std::uint8_t>(length), static_cast<std::uint8_t>(length >> 8),
                                  static_cast<std::uint8_t>(length >> 16), static_cast<std::uint8_t>(length >> 24)};
  out.Write(header, sizeof header);
  out.Write(data.data(), data.size());
  return out.GetHexData();
}

}  // namespace tools
