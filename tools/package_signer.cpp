#include "package_signer.h"

#include <fcntl.h>
#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "common/hex.h"
#include "common/text.h"

namespace tools {
namespace {

constexpr char kKeyFileName[] = "package-key.pem";

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;
using Key = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;

std::string Hex(const std::vector<std::uint8_t>& bytes) { return common::WideToUtf8(common::ToHex(bytes)); }

std::vector<std::uint8_t> Unsigned32(const BIGNUM* n) {
  std::vector<std::uint8_t> out(32);
  BN_bn2binpad(n, out.data(), 32);
  return out;
}

bool IsP256(EVP_PKEY* key) {
  char group[64] = {};
  std::size_t length = 0;
  return EVP_PKEY_is_a(key, "EC") && EVP_PKEY_get_group_name(key, group, sizeof group, &length) == 1 &&
         (std::strcmp(group, "prime256v1") == 0 || std::strcmp(group, "P-256") == 0);
}

}  // namespace

std::optional<std::string> GeneratePackageKey(const std::string& folder, std::string& error) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) {
    error = "cannot create " + folder + ": " + ec.message();
    return std::nullopt;
  }
  const std::string path = (std::filesystem::path(folder) / kKeyFileName).string();
  // O_EXCL: a maker's existing key is never overwritten; 0600: nobody else can read the new one.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
  if (fd < 0) {
    error = path + ": " + (errno == EEXIST ? std::string("exists already; it is never replaced") : std::strerror(errno));
    return std::nullopt;
  }
  File file(::fdopen(fd, "w"));
  if (!file) {
    ::close(fd);
    error = path + ": " + std::strerror(errno);
    return std::nullopt;
  }
  const Key key(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"), &EVP_PKEY_free);
  BIGNUM* x = nullptr;
  BIGNUM* y = nullptr;
  const bool made = key && EVP_PKEY_get_bn_param(key.get(), OSSL_PKEY_PARAM_EC_PUB_X, &x) == 1 &&
                    EVP_PKEY_get_bn_param(key.get(), OSSL_PKEY_PARAM_EC_PUB_Y, &y) == 1;
  std::vector<std::uint8_t> publicKey;
  if (made) {
    publicKey = Unsigned32(x);
    const std::vector<std::uint8_t> yBytes = Unsigned32(y);
    publicKey.insert(publicKey.end(), yBytes.begin(), yBytes.end());
  }
  BN_free(x);
  BN_free(y);
  if (!made || PEM_write_PrivateKey(file.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1 ||
      std::fflush(file.get()) != 0) {
    file.reset();
    std::remove(path.c_str());
    error = "cannot make the key in " + path;
    return std::nullopt;
  }
  return Hex(publicKey);
}

std::optional<std::string> SignPackage(const std::string& keyPem, const std::string& package, std::string& error) {
  File keyFile(std::fopen(keyPem.c_str(), "r"));
  if (!keyFile) {
    error = keyPem + ": " + std::strerror(errno);
    return std::nullopt;
  }
  const Key key(PEM_read_PrivateKey(keyFile.get(), nullptr, nullptr, nullptr), &EVP_PKEY_free);
  if (!key || !IsP256(key.get())) {
    error = keyPem + ": not a P-256 private key in PEM";
    return std::nullopt;
  }
  File file(std::fopen(package.c_str(), "rb"));
  if (!file) {
    error = package + ": " + std::strerror(errno);
    return std::nullopt;
  }
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
  if (!ctx || EVP_DigestSignInit(ctx.get(), nullptr, EVP_sha256(), nullptr, key.get()) != 1) {
    error = "cannot sign with " + keyPem;
    return std::nullopt;
  }
  std::vector<unsigned char> buffer(256 * 1024);
  std::size_t got = 0;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), file.get())) > 0) {
    EVP_DigestSignUpdate(ctx.get(), buffer.data(), got);
  }
  if (std::ferror(file.get())) {
    error = package + ": read error";
    return std::nullopt;
  }
  std::size_t length = 0;
  std::vector<unsigned char> der;
  if (EVP_DigestSignFinal(ctx.get(), nullptr, &length) == 1) {
    der.resize(length);
    if (EVP_DigestSignFinal(ctx.get(), der.data(), &length) != 1) der.clear();
    der.resize(der.empty() ? 0 : length);
  }
  const unsigned char* p = der.data();
  const std::unique_ptr<ECDSA_SIG, decltype(&ECDSA_SIG_free)> sig(
      der.empty() ? nullptr : d2i_ECDSA_SIG(nullptr, &p, static_cast<long>(der.size())), &ECDSA_SIG_free);
  if (!sig) {
    error = "signing failed";
    return std::nullopt;
  }
  std::vector<std::uint8_t> raw = Unsigned32(ECDSA_SIG_get0_r(sig.get()));
  const std::vector<std::uint8_t> s = Unsigned32(ECDSA_SIG_get0_s(sig.get()));
  raw.insert(raw.end(), s.begin(), s.end());
  return Hex(raw);
}

}  // namespace tools
