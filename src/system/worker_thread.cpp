// Self-deleting worker threads on std::thread.
#include "system/worker_thread.h"

#include <atomic>
#include <system_error>
#include <thread>

namespace sys {
namespace {

std::atomic<int> g_live{0};

void RunAndDelete(WorkerThread* worker, void (*body)(WorkerThread*)) {
  try {
    body(worker);
  } catch (...) {
  }
  delete worker;
}

}  // namespace

WorkerThread::WorkerThread() { ++g_live; }

WorkerThread::~WorkerThread() { --g_live; }

int WorkerThread::LiveCount() { return g_live.load(); }

void WorkerThread::Resume() {
  auto body = [](WorkerThread* w) { w->Execute(); };
  try {
    std::thread(RunAndDelete, this, +body).detach();
  } catch (const std::system_error&) {
    RunAndDelete(this, +body);
  }
}

}  // namespace sys
