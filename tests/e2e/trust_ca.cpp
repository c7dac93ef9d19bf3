// trust_ca.exe CA.der: adds a test certificate authority to the LocalMachine Root store of the
// Wine prefix it runs in, so that WinHTTP there trusts certificates the end-to-end scenarios make.
// Exit code 0 when the certificate is in the store.
#include <windows.h>
#include <wincrypt.h>

#include <fstream>
#include <iterator>
#include <vector>

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  std::ifstream in(argv[1], std::ios::binary);
  const std::vector<BYTE> der{std::istreambuf_iterator<char>(in), {}};
  if (der.empty()) return 3;
  HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"ROOT");
  if (!store) return 4;
  const BOOL added = CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(),
                                                      static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING,
                                                      nullptr);
  CertCloseStore(store, 0);
  return added ? 0 : 5;
}
