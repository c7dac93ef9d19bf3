// Package download: GET streamed to a file, resumed with a conditional range request when the
// connection breaks, every notification handed to the GUI thread.
#include "net/down_thread.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "net/http_transport.h"
#include "net/resume_rules.h"
#include "system/file_io.h"
#include "system/files.h"
#include "system/gui_thread.h"

namespace net {

TDownThread::TDownThread(bool /*createSuspended*/, std::shared_ptr<HttpTransport> transport)
    : transport_(std::move(transport)) {}

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

namespace {

BodyValidators ValidatorsOf(const HttpStream& stream) {
  return {stream.Header(L"ETag"), stream.Header(L"Last-Modified"), stream.Header(L"Date")};
}

}  // namespace

// Every request after the first (a resume, or a fresh start after a break or a refused resume)
// costs one of kResumeAttempts. A resume asks for the rest of the same body only (If-Range) and
// is used only when its 206 continues that body exactly; anything else starts the file over, so
// the file never mixes two versions of the package.
int TDownThread::Transfer(sys::OutputFile& file) {
  constexpr std::size_t kBufferSize = 64 * 1024;
  std::vector<std::uint8_t> buffer(kBufferSize);
  std::int64_t received = 0;
  std::int64_t notified = 0;
  std::int64_t total = -1;  // the full body's length, -1 when unknown
  std::int64_t step = kMinNotifyStep;
  BodyValidators validators;
  std::wstring ifRange;     // empty: this body cannot be resumed
  int status = 0;
  int retries = 0;
  bool first = true;

  auto startOver = [&] {
    received = notified = 0;
    return file.Restart();
  };

  for (;; first = false) {
    if (!first && retries++ >= kResumeAttempts) return kDownloadFailed;
    // A break with a validator and a known length resumes; any other break starts over.
    if (received > 0 && (ifRange.empty() || total < 0) && !startOver()) return kDownloadFailed;
    HttpGetOptions options;
    options.connectTimeoutMs = kConnectTimeoutMs;
    options.receiveTimeoutMs = FStallTimeoutMs;
    options.rangeFrom = received;
    options.ifRange = ifRange;
    auto stream = transport_->OpenGet(FURL, options);
    if (!stream) {
      if (first) return kDownloadFailed;
      continue;
    }

    const int answer = stream->Status();
    if (received > 0 && answer == 206) {
      const PartialAnswer partial{stream->Header(L"Content-Range"), stream->ContentLength(), ValidatorsOf(*stream)};
      if (!ContinuesBody(partial, received, total, validators)) {
        if (!startOver()) return kDownloadFailed;
        continue;
      }
    } else {
      // A whole body: the first one, or a new one because the server ignored the range or the
      // file changed. A 206 here answers a request without a range.
      if (answer < 200 || answer >= 300 || answer == 206) return kDownloadFailed;
      if (received > 0 && !startOver()) return kDownloadFailed;
      status = answer;
      total = stream->ContentLength();
      validators = ValidatorsOf(*stream);
      ifRange = IfRangeValue(validators);
      WorkBegin(total < 0 ? 0 : total);
      // Each notification is a blocking hand-off to the GUI thread: a hundred of them move a
      // progress bar smoothly without slowing a large transfer down.
      step = std::max(kMinNotifyStep, total / kNotifySteps);
    }

    long n;
    bool tooLong = false;
    while ((n = stream->Read(buffer.data(), buffer.size())) > 0) {
      if (total >= 0 && received + n > total) {
        tooLong = true;  // not the body the length announced
        break;
      }
      if (!file.Write(std::span(buffer.data(), static_cast<std::size_t>(n)))) return kDownloadFailed;
      received += n;
      if (received - notified >= step) Work(notified = received);
    }
    if (tooLong) {
      if (!startOver()) return kDownloadFailed;
      continue;
    }
    if (n == kReadTimedOut) return kDownloadFailed;
    // The transport does not tell a connection closed early from the end of the body: count.
    // Without a length, the end of the connection is the end of the body.
    if (n == 0 && (total < 0 || received == total)) {
      if (received != notified) Work(received);
      return status;
    }
  }
}

void TDownThread::Execute() {
  FResponseCode = kDownloadFailed;
  bool created = false;
  try {
    // Others may read the file while it grows (not delete or rename it).
    sys::OutputFile file;
    created = file.Create(FFileName, sys::FileCreation::Replace, sys::FileSharing::ReadWrite) ==
              sys::CreateResult::Created;
    if (created) {
      FResponseCode = kDownloadRunning;
      FResponseCode = Transfer(file);
      // A file whose last bytes the system could not keep is no download.
      if (!file.Close()) FResponseCode = kDownloadFailed;
    }
  } catch (...) {
    // Whatever broke the transfer (the transport, memory) fails it: the install waits for this
    // finish, and would wait for ever without it.
    FResponseCode = kDownloadFailed;
  }
  // A failed download's file goes, once it is closed.
  if (created && FResponseCode < 0) sys::RemoveFile(FFileName);
  sys::RunOnGuiThread([this] {
    if (FOnFinish) FOnFinish(this, static_cast<std::int64_t>(FResponseCode));
  });
}

void StartDownThread(std::shared_ptr<HttpTransport> transport, const std::wstring& url, const std::wstring& fileName,
                     TOnWorkBeginEvent onWorkBegin, TOnWorkEvent onWork, TOnDownFinishEvent onFinish) {
  sys::InitGuiThread();
  auto* thread = new TDownThread(true, std::move(transport));
  thread->SetOnWorkBegin(std::move(onWorkBegin));
  thread->SetOnWork(std::move(onWork));
  thread->SetOnFinish(std::move(onFinish));
  thread->SetURL(url);
  sys::ForceDirectories(sys::ParentFolder(fileName));
  thread->SetFileName(fileName);
  thread->Resume();
}

}  // namespace net
