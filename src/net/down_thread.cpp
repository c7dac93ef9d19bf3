// Package download: GET streamed to a file, resumed with a range request when the connection
// breaks, every notification handed to the GUI thread.
#include "net/down_thread.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "net/download_file.h"
#include "net/http_transport.h"
#include "system/gui_thread.h"

namespace net {

TDownThread::TDownThread(bool /*createSuspended*/) {}

TDownThread::~TDownThread() = default;

void TDownThread::WorkBegin(std::int64_t total) {
  FWorkCountMax = total;
  sys::RunOnGuiThread([this] {
    if (FOnWorkBeginEvent) FOnWorkBeginEvent(this, FWorkCountMax);
  });
}

void TDownThread::Work(std::int64_t count) {
  FWorkCount = count;
  sys::RunOnGuiThread([this] {
    if (FOnWorkEvent) FOnWorkEvent(this, FWorkCount);
  });
}

int TDownThread::Transfer(DownloadFile& file) {
  constexpr std::size_t kBufferSize = 64 * 1024;
  std::vector<std::uint8_t> buffer(kBufferSize);
  std::int64_t received = 0;
  std::int64_t notified = 0;
  std::int64_t total = -1;  // the full body's length, -1 when unknown
  std::int64_t step = kMinNotifyStep;
  int status = 0;
  int resumes = 0;
  bool first = true;

  for (;;) {
    HttpGetOptions options;
    options.connectTimeoutMs = kConnectTimeoutMs;
    options.receiveTimeoutMs = FStallTimeoutMs;
    options.rangeFrom = received;
    auto stream = OpenHttpGet(FURL, options);
    if (!stream) {
      if (!first && resumes++ < kResumeAttempts) continue;
      return kDownloadFailed;
    }

    if (first) {
      first = false;
      status = stream->Status();
      if (status < 200 || status >= 300) return kDownloadFailed;
      total = stream->ContentLength();
      WorkBegin(total < 0 ? 0 : total);
      // Each notification is a blocking hand-off to the GUI thread: a hundred of them move a
      // progress bar smoothly without slowing a large transfer down.
      step = std::max(kMinNotifyStep, total / kNotifySteps);
    } else if (stream->Status() == 200) {
      // The server ignored the range: start over with the whole body.
      if (!file.Restart()) return kDownloadFailed;
      received = notified = 0;
      total = stream->ContentLength();
    } else if (stream->Status() != 206) {
      return kDownloadFailed;
    }

    long n;
    while ((n = stream->Read(buffer.data(), buffer.size())) > 0) {
      if (!file.Write(buffer.data(), static_cast<std::size_t>(n))) return kDownloadFailed;
      received += n;
      if (received - notified >= step) Work(notified = received);
    }
    if (n == kReadTimedOut) return kDownloadFailed;
    // The transport does not tell a connection closed early from the end of the body: count.
    const bool complete = n == 0 && (total < 0 || received >= total);
    if (complete) {
      if (received != notified) Work(received);
      return status;
    }
    if (resumes++ >= kResumeAttempts) return kDownloadFailed;
  }
}

void TDownThread::Execute() {
  FResponseCode = kDownloadFailed;
  {
    DownloadFile file;
    if (file.Create(FFileName)) {
      FResponseCode = kDownloadRunning;
      FResponseCode = Transfer(file);
      file.Close();
      if (FResponseCode < 0) RemoveFile(FFileName);
    }
  }
  sys::RunOnGuiThread([this] {
    if (FOnFinish) FOnFinish(this, static_cast<std::int64_t>(FResponseCode));
  });
}

void StartDownThread(const std::wstring& url, const std::wstring& fileName, TOnWorkBeginEvent onWorkBegin,
                     TOnWorkEvent onWork, TOnDownFinishEvent onFinish) {
  sys::InitGuiThread();
  auto* thread = new TDownThread(true);
  thread->SetOnWorkBegin(std::move(onWorkBegin));
  thread->SetOnWork(std::move(onWork));
  thread->SetOnFinish(std::move(onFinish));
  thread->SetURL(url);
  CreateFoldersFor(fileName);
  thread->SetFileName(fileName);
  thread->Resume();
}

}  // namespace net
