#include "zip/zip_reader.h"

#include <algorithm>
#include <iterator>

#include "zip/zip_crc.h"
#include "zip/zip_crypt.h"
#include "zip/zip_decode.h"

namespace zip {
namespace {

constexpr std::uint16_t kStrongEncryptionFlag = 0x40;
constexpr std::uint16_t kDataDescriptorFlag = 0x08;
constexpr std::uint16_t kAeWithoutCrc = 2;

// Passes content on and keeps its CRC-32 (unless told that nobody will ask for it).
class CrcSink : public ZipByteSink {
 public:
  explicit CrcSink(ZipByteSink& out, bool enabled = true) : out_(out), enabled_(enabled) {}
  bool Write(std::span<const std::uint8_t> data) override {
    if (enabled_) crc_ = ZipCrc32(crc_, data);
    return out_.Write(data);
  }
  std::uint32_t crc() const { return crc_; }

 private:
  ZipByteSink& out_;
  bool enabled_;
  std::uint32_t crc_ = 0;
};

ZipEntryOutcome FromDecode(ZipDecodeResult r) {
  switch (r) {
    case ZipDecodeResult::Ok: return ZipEntryOutcome::Extracted;
    case ZipDecodeResult::Unsupported: return ZipEntryOutcome::Unsupported;
    case ZipDecodeResult::WriteFailed: return ZipEntryOutcome::WriteFailed;
    case ZipDecodeResult::BadData: break;
  }
  return ZipEntryOutcome::Damaged;
}

bool MethodKnown(std::uint16_t method) {
  return method == zip_method::kStored || method == zip_method::kDeflated || method == zip_method::kShrunk ||
         method == zip_method::kImploded ||
         (method >= zip_method::kReducedFirst && method <= zip_method::kReducedLast);
}

}  // namespace

bool ZipReader::ClaimData(const ZipEntry& entry) {
  std::uint64_t dataOffset = 0;
  // Without a local header there is nothing to claim; reading the entry fails on its own.
  if (!LocateZipEntryData(input_, entry, dataOffset)) return true;
  const std::uint64_t start = entry.localHeaderOffset;
  const std::uint64_t end = dataOffset + entry.compressedSize;
  auto next = claimed_.lower_bound(end);
  if (next != claimed_.begin() && std::prev(next)->second > start) return false;
  claimed_.emplace(start, end);
  return true;
}

ZipEntryOutcome ZipReader::Extract(const ZipEntry& entry, std::string_view password, ZipByteSink& out,
                                   const ZipRangeSource::ReadObserver& onRead, std::size_t chunkLimit) {
  if ((entry.flags & kStrongEncryptionFlag) != 0) return ZipEntryOutcome::Unsupported;
  std::uint64_t dataOffset = 0;
  if (!LocateZipEntryData(input_, entry, dataOffset)) return ZipEntryOutcome::Damaged;
  if (entry.method == zip_method::kAes) return ExtractAes(entry, dataOffset, password, out, onRead, chunkLimit);
  if (!MethodKnown(entry.method)) return ZipEntryOutcome::Unsupported;

  ZipRangeSource range(input_, dataOffset, entry.compressedSize, chunkLimit, onRead);
  ZipTraditionalSource decrypted(range, password);
  if (entry.Encrypted()) {
    const std::uint8_t check = (entry.flags & kDataDescriptorFlag) != 0 ? static_cast<std::uint8_t>(entry.dosTime >> 8)
                                                                         : static_cast<std::uint8_t>(entry.crc32 >> 24);
    // A check byte that differs means another password; only a CRC that fails after deciphering
    // means damaged data.
    switch (decrypted.CheckHeader(check)) {
      case ZipTraditionalSource::HeaderCheck::Passed: break;
      case ZipTraditionalSource::HeaderCheck::WrongPassword: return ZipEntryOutcome::WrongPassword;
      case ZipTraditionalSource::HeaderCheck::Truncated: return ZipEntryOutcome::Damaged;
    }
  }
  CrcSink crc(out);
  ZipByteSource& source = entry.Encrypted() ? static_cast<ZipByteSource&>(decrypted) : range;
  const ZipEntryOutcome outcome =
      FromDecode(DecodeZipData(entry.method, entry.flags, source, entry.uncompressedSize, crc, outputBlock_));
  if (outcome != ZipEntryOutcome::Extracted) return outcome;
  if (range.Failed() || crc.crc() != entry.crc32) return ZipEntryOutcome::Damaged;
  return ZipEntryOutcome::Extracted;
}

ZipEntryOutcome ZipReader::ExtractAes(const ZipEntry& entry, std::uint64_t dataOffset, std::string_view password,
                                      ZipByteSink& out, const ZipRangeSource::ReadObserver& onRead,
                                      std::size_t chunkLimit) {
  const std::size_t saltSize = ZipAesSource::SaltSize(entry.aesStrength);
  if (!entry.Encrypted() || saltSize == 0 || !MethodKnown(entry.aesMethod)) return ZipEntryOutcome::Unsupported;
  const std::uint64_t overhead = saltSize + ZipAesSource::kVerifierSize + ZipAesSource::kMacSize;
  if (entry.compressedSize < overhead) return ZipEntryOutcome::Damaged;

  std::vector<std::uint8_t> header(saltSize + ZipAesSource::kVerifierSize);
  if (!input_.ReadAt(dataOffset, header)) return ZipEntryOutcome::Damaged;
  const crypto::ByteSpan salt = crypto::ByteSpan(header).first(saltSize);
  const std::uint64_t size = entry.compressedSize - overhead;
  ZipRangeSource range(input_, dataOffset + header.size(), size, chunkLimit, onRead);
  ZipAesSource decrypted(range, size, password, salt);
  if (!decrypted.Valid()) return ZipEntryOutcome::Unsupported;
  if (!decrypted.VerifierMatches(crypto::ByteSpan(header).subspan(saltSize))) return ZipEntryOutcome::WrongPassword;

  // AE-2 stores no CRC; the authentication code alone vouches for the data.
  const bool checkCrc = entry.aesVersion != kAeWithoutCrc;
  CrcSink crc(out, checkCrc);
  const ZipEntryOutcome outcome =
      FromDecode(DecodeZipData(entry.aesMethod, entry.flags, decrypted, entry.uncompressedSize, crc, outputBlock_));
  if (outcome != ZipEntryOutcome::Extracted) return outcome;
  // The authentication code covers all of the encrypted data, also what the decoder left unread.
  std::vector<std::uint8_t> rest(4096);
  while (decrypted.Read(rest) > 0) {
  }
  std::vector<std::uint8_t> stored(ZipAesSource::kMacSize);
  if (range.Failed() || !input_.ReadAt(dataOffset + entry.compressedSize - stored.size(), stored)) {
    return ZipEntryOutcome::Damaged;
  }
  const crypto::Bytes mac = decrypted.Mac();
  if (!std::equal(stored.begin(), stored.end(), mac.begin(), mac.end())) return ZipEntryOutcome::Damaged;
  if (checkCrc && crc.crc() != entry.crc32) return ZipEntryOutcome::Damaged;
  return ZipEntryOutcome::Extracted;
}

}  // namespace zip
