// encode-stored KEY TEXT: prints the stored (enciphered) hex form of TEXT under the key text KEY,
// for the values that the installer keeps only enciphered.
#include <cstdio>

#include "common/text.h"
#include "stored_encoder.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: encode-stored KEY TEXT\n");
    return 2;
  }
  const std::wstring hex = tools::EncodeStoredString(common::Utf8ToWide(argv[2]), common::Utf8ToWide(argv[1]));
  if (hex.empty()) {
    std::fprintf(stderr, "encode-stored: AES failed\n");
    return 1;
  }
  std::printf("%s\n", common::WideToUtf8(hex).c_str());
  return 0;
}
