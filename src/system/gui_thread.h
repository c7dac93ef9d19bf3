// Hand-off of calls from worker threads to the GUI thread. A worker that must run something on the
// GUI thread (a completion or progress callback) hands it over and blocks until the GUI thread has
// run it. The GUI thread serves these hand-offs whenever it processes its message queue: in its
// message loop (RunMessageLoop, modal loops included), and in ProcessPendingMessages, which long
// operations call. These are the only message pumps of the program.
//
// Windows build: a message-only window of ours receives the call through SendMessage, which the
// system delivers to the GUI thread whenever it retrieves messages. Host build: a queue that tests
// pump through the same two functions.
#pragma once

#include <functional>
#include <optional>

namespace sys {

// Makes the calling thread the GUI thread. Idempotent; the worker starters call it (they run on
// the GUI thread), so nothing else has to.
void InitGuiThread();

// Runs call on the GUI thread and returns once it has run. On the GUI thread itself the call runs
// at once. An exception thrown by call is swallowed: it never crosses threads.
void RunOnGuiThread(const std::function<void()>& call);

// The message loop: gets and dispatches messages, hand-offs included, until done() holds (asked
// before each wait) or a quit request arrives. Returns the quit request's exit code when one ended
// it; the request is then off the queue, so a nested loop posts it again for the loop outside.
// The main window's loop and every modal loop are this one.
std::optional<int> RunMessageLoop(const std::function<bool()>& done);

// Serves everything that is waiting (window messages and hand-offs) and returns. False when a quit
// request is pending (it stays pending for the message loop).
bool ProcessPendingMessages();

// Waits up to timeoutMs for a message or hand-off to arrive, then serves what is waiting, as
// ProcessPendingMessages does. For wait loops that should not spin.
bool WaitAndProcessMessages(unsigned timeoutMs);

// Runs work on a thread of its own while the calling GUI thread goes on serving its messages and
// hand-offs, and returns once work has ended. For a blocking call (a request that may wait half a
// minute for a server) made while a window is shown, which would otherwise stop answering. work
// must touch nothing that the GUI thread's handlers touch meanwhile. False when work ended with
// an exception, which is swallowed at the thread's edge; without a thread to spare it runs on the
// caller. A quit request that arrives meanwhile stays pending for the message loop.
bool RunBesideGuiThread(const std::function<void()>& work);

}  // namespace sys
