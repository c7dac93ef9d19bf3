// The package download worker: streams one URL into a file on its own thread and hands the
// announced size, the progress and the outcome to the GUI thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "system/file_io.h"
#include "system/worker_thread.h"

namespace net {

class HttpTransport;
class TDownThread;

// Total announced for the body; 0 when the server announced no length.
using TOnWorkBeginEvent = std::function<void(TDownThread* sender, std::int64_t workCountMax)>;
// Bytes written so far: one call per hundredth of the announced total (at least 64 KiB apart) and
// one for the final count.
using TOnWorkEvent = std::function<void(TDownThread* sender, std::int64_t workCount)>;
// -2 for every failure (the file is gone then), otherwise the final HTTP status.
using TOnDownFinishEvent = std::function<void(TDownThread* sender, std::int64_t responseCode)>;

inline constexpr int kDownloadFailed = -2;
inline constexpr int kDownloadRunning = -1;

class TDownThread : public sys::WorkerThread {
 public:
  static constexpr std::int64_t kMinNotifyStep = 64 * 1024;
  static constexpr std::int64_t kNotifySteps = 100;
  static constexpr int kResumeAttempts = 3;
  static constexpr int kConnectTimeoutMs = 10000;
  static constexpr int kDefaultStallTimeoutMs = 60000;

  // Always created suspended, whatever createSuspended says; Resume starts it. The package comes
  // through transport.
  TDownThread(bool createSuspended, std::shared_ptr<HttpTransport> transport);
  ~TDownThread() override;

  void SetOnWorkBegin(TOnWorkBeginEvent e) { FOnWorkBeginEvent = std::move(e); }
  void SetOnWork(TOnWorkEvent e) { FOnWorkEvent = std::move(e); }
  void SetOnFinish(TOnDownFinishEvent e) { FOnFinish = std::move(e); }
  void SetURL(std::wstring url) { FURL = std::move(url); }
  void SetFileName(std::wstring fileName) { FFileName = std::move(fileName); }
  // A transfer that receives nothing for this long fails.
  void SetStallTimeoutMs(int ms) { FStallTimeoutMs = ms; }

  const std::wstring& URL() const { return FURL; }
  const std::wstring& FileName() const { return FFileName; }
  std::int64_t WorkCountMax() const { return FWorkCountMax; }

 protected:
  void Execute() override;

 private:
  // Streams FURL into file; the final status, or kDownloadFailed.
  int Transfer(sys::OutputFile& file);
  void WorkBegin(std::int64_t total);
  void Work(std::int64_t count);

  std::shared_ptr<HttpTransport> transport_;
  TOnWorkBeginEvent FOnWorkBeginEvent;
  TOnWorkEvent FOnWorkEvent;
  TOnDownFinishEvent FOnFinish;
  int FResponseCode = kDownloadRunning;
  std::wstring FURL;
  std::wstring FFileName;
  std::int64_t FWorkCountMax = 0;
  std::int64_t FWorkCount = 0;
  int FStallTimeoutMs = kDefaultStallTimeoutMs;
};

// Creates the folders of fileName and starts a self-freeing TDownThread that downloads url into
// it through transport. Returns at once; the callbacks are the only way to learn the outcome.
void StartDownThread(std::shared_ptr<HttpTransport> transport, const std::wstring& url, const std::wstring& fileName,
                     TOnWorkBeginEvent onWorkBegin, TOnWorkEvent onWork, TOnDownFinishEvent onFinish);

}  // namespace net
