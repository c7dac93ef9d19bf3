// The maker's side of package signatures, for package-tool (host build, libcrypto): a new key
// pair, and the signature of a package that the API server passes on as "sig". The installer only
// verifies (installer/file_digest.h).
#pragma once

#include <optional>
#include <string>

namespace tools {

// Creates folder (when missing) and in it package-key.pem: a new P-256 private key in PKCS #8 PEM,
// readable by its owner only. An existing file is never replaced. Returns the "PackageKey" value
// (128 lower-case hex digits, X then Y), or nullopt with the reason in error.
std::optional<std::string> GeneratePackageKey(const std::string& folder, std::string& error);

// The signature of the file's bytes (ECDSA P-256 over SHA-256) under the PEM private key, as
// 128 lower-case hex digits, r then s; nullopt with the reason in error.
std::optional<std::string> SignPackage(const std::string& keyPem, const std::string& package, std::string& error);

}  // namespace tools
