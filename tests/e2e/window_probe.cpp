// What other programs and the system do to the installer's window, for end-to-end scenarios and
// the responsiveness benchmark. It finds the shown top-level window whose caption contains TEXT.
//
//   window_probe query-end-session TEXT   sends WM_QUERYENDSESSION; prints "answer N"
//   window_probe close TEXT               posts WM_CLOSE (as another program would)
//   window_probe syscommand-close TEXT    posts WM_SYSCOMMAND SC_CLOSE (the taskbar's "Close window")
//   window_probe foreground               prints the foreground window's process id and caption
//   window_probe latency TEXT SECONDS     every 20 ms sends WM_NULL with SendMessageTimeout and
//                                         times the answer, until the window is gone or SECONDS
//                                         have passed; prints the samples' count, median, 99th
//                                         percentile and longest wait in milliseconds, then one
//                                         line "slow AT WAIT" for each wait over 100 ms, AT being
//                                         the milliseconds since the probe began
// Exit code 0, or 2 when no such window is shown.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace {

struct Search {
  std::wstring text;
  HWND found = nullptr;
};

BOOL CALLBACK Match(HWND hwnd, LPARAM param) {
  auto& search = *reinterpret_cast<Search*>(param);
  if (!IsWindowVisible(hwnd) || GetWindow(hwnd, GW_OWNER)) return TRUE;
  wchar_t caption[256] = {};
  GetWindowTextW(hwnd, caption, 256);
  if (std::wstring(caption).find(search.text) == std::wstring::npos) return TRUE;
  search.found = hwnd;
  return FALSE;
}

HWND FindShown(const std::wstring& text) {
  Search search{text};
  EnumWindows(Match, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to, LARGE_INTEGER frequency) {
  return static_cast<double>(to.QuadPart - from.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

int Latency(HWND window, double seconds) {
  LARGE_INTEGER frequency, start, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  std::vector<double> waits;
  std::vector<std::pair<double, double>> slow;  // when, how long
  for (;;) {
    QueryPerformanceCounter(&now);
    if (Milliseconds(start, now, frequency) > seconds * 1000.0 || !IsWindow(window)) break;
    LARGE_INTEGER before, after;
    QueryPerformanceCounter(&before);
    DWORD_PTR result = 0;
    const bool answered = SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &result) != 0;
    QueryPerformanceCounter(&after);
    if (!answered && !IsWindow(window)) break;
    waits.push_back(Milliseconds(before, after, frequency));
    if (waits.back() > 100.0) slow.emplace_back(Milliseconds(start, before, frequency), waits.back());
    Sleep(20);
  }
  if (waits.empty()) {
    std::printf("samples 0\n");
    return 0;
  }
  std::vector<double> sorted = waits;
  std::sort(sorted.begin(), sorted.end());
  const auto at = [&](double q) { return sorted[std::min(sorted.size() - 1, static_cast<std::size_t>(q * sorted.size()))]; };
  std::printf("samples %u median %.1f p99 %.1f longest %.1f\n", static_cast<unsigned>(sorted.size()), at(0.5), at(0.99),
              sorted.back());
  for (const auto& [when, wait] : slow) std::printf("slow %.0f %.1f\n", when, wait);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring command = argc > 1 ? argv[1] : L"";
  if (command == L"foreground") {
    const HWND window = GetForegroundWindow();
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    wchar_t caption[256] = {};
    GetWindowTextW(window, caption, 256);
    std::printf("pid %lu caption %ls\n", static_cast<unsigned long>(pid), caption);
    return 0;
  }
  if (argc < 3) {
    std::fprintf(stderr, "usage: window_probe COMMAND TEXT [SECONDS]\n");
    return 1;
  }
  const HWND window = FindShown(argv[2]);
  if (!window) {
    std::printf("no window\n");
    return 2;
  }
  if (command == L"query-end-session") {
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, 10000, &answer);
    std::printf("answer %lu\n", static_cast<unsigned long>(answer));
  } else if (command == L"close") {
    PostMessageW(window, WM_CLOSE, 0, 0);
  } else if (command == L"syscommand-close") {
    PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  } else if (command == L"latency" && argc > 3) {
    return Latency(window, _wtof(argv[3]));
  } else {
    std::fprintf(stderr, "unknown command\n");
    return 1;
  }
  return 0;
}
