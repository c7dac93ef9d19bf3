// Base of the short-lived worker threads: created suspended, resumed once, never cancelled or
// joined, and deleted by themselves when their body has run.
#pragma once

namespace sys {

class WorkerThread {
 public:
  WorkerThread();
  virtual ~WorkerThread();
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  // Starts the thread, which runs Execute and then deletes the object. The object must have been
  // created with new; the caller must not touch it afterwards. When no thread can be started the
  // body runs on the caller's thread instead, so its outcome is still delivered.
  void Resume();

  // Workers created and not yet deleted, in the whole process.
  static int LiveCount();

 protected:
  // The thread body. An exception that escapes it is swallowed at the thread's edge.
  virtual void Execute() = 0;
};

}  // namespace sys
