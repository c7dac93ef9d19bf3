// Download benchmark (run by hand, not a test): the same URL fetched into a file by TDownThread,
// with the main thread serving its hand-offs as the install sequence does, and by a plain WinHTTP
// read loop without hand-offs. Prints the throughput of each and their ratio.
//   down_bench URL FILE [ROUNDS]
#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "net/down_thread.h"
#include "net/http_transport.h"
#include "system/gui_thread.h"

namespace {

double Now() {
  LARGE_INTEGER f, c;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&c);
  return static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

// Bytes written, or -1.
long long PlainLoop(const std::wstring& url, const std::wstring& file) {
  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof parts;
  parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = static_cast<DWORD>(-1);
  if (!WinHttpCrackUrl(url.c_str(), 0, 0, &parts)) return -1;
  const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
  const std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength + parts.dwExtraInfoLength);
  HINTERNET session = WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, nullptr, nullptr, 0);
  HINTERNET connection = WinHttpConnect(session, host.c_str(), parts.nPort, 0);
  HINTERNET request = WinHttpOpenRequest(connection, L"GET", path.c_str(), nullptr, nullptr, nullptr, 0);
  long long total = -1;
  HANDLE out = CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (request && out != INVALID_HANDLE_VALUE && WinHttpSendRequest(request, nullptr, 0, nullptr, 0, 0, 0) &&
      WinHttpReceiveResponse(request, nullptr)) {
    std::vector<unsigned char> buffer(64 * 1024);
    DWORD got = 0;
    total = 0;
    while (WinHttpReadData(request, buffer.data(), static_cast<DWORD>(buffer.size()), &got) && got > 0) {
      DWORD written = 0;
      WriteFile(out, buffer.data(), got, &written, nullptr);
      total += got;
    }
  }
  if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
  if (request) WinHttpCloseHandle(request);
  if (connection) WinHttpCloseHandle(connection);
  if (session) WinHttpCloseHandle(session);
  return total;
}

long long WithWorker(const std::wstring& url, const std::wstring& file, long long& notifications) {
  bool done = false;
  long long code = 0, last = 0;
  notifications = 0;
  net::StartDownThread(
      net::SystemHttpTransport(), url, file, [](net::TDownThread*, std::int64_t) {},
      [&](net::TDownThread*, std::int64_t count) {
        last = count;
        ++notifications;
      },
      [&](net::TDownThread*, std::int64_t responseCode) {
        code = responseCode;
        done = true;
      });
  while (!done) sys::WaitAndProcessMessages(100);
  return code == 200 ? last : -1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: down_bench URL FILE [ROUNDS]\n");
    return 2;
  }
  const std::wstring url = argv[1], file = argv[2];
  const int rounds = argc > 3 ? _wtoi(argv[3]) : 3;
  sys::InitGuiThread();
  double plainBest = 1e9, workerBest = 1e9;
  std::vector<double> ratios;
  for (int r = 0; r < rounds; ++r) {
    // Alternate which one goes first, so that neither always meets a warm or a cold server.
    long long notifications = 0, a = 0, b = 0;
    double worker = 0, plain = 0;
    for (int k = 0; k < 2; ++k) {
      const double t = Now();
      if ((k + r) % 2 == 0) {
        a = WithWorker(url, file, notifications);
        worker = Now() - t;
      } else {
        b = PlainLoop(url, file);
        plain = Now() - t;
      }
    }
    if (a <= 0 || a != b) {
      std::fprintf(stderr, "round %d: sizes differ or failed: worker %lld, plain %lld\n", r, a, b);
      return 1;
    }
    std::printf("round %d: %lld bytes, worker %.3f s (%.1f MB/s, %lld notifications), plain %.3f s (%.1f MB/s)\n", r,
                a, worker, a / worker / 1e6, notifications, plain, b / plain / 1e6);
    ratios.push_back(plain / worker);
    plainBest = std::min(plainBest, plain);
    workerBest = std::min(workerBest, worker);
  }
  std::sort(ratios.begin(), ratios.end());
  std::printf("best of %d: worker %.3f s, plain %.3f s, ratio of the bests %.3f, median ratio of the rounds %.3f\n",
              rounds, workerBest, plainBest, plainBest / workerBest, ratios[ratios.size() / 2]);
  DeleteFileW(file.c_str());
  return 0;
}
