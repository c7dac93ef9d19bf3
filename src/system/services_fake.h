// The host build's Service Control Manager: services kept in memory with their configuration and
// state, and the operations in the order they were asked for.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace sys::fake_services {

enum class State { Stopped, Running };

struct Service {
  std::wstring displayName;
  std::wstring binaryPath;  // as registered (quoted)
  bool autoStart = false;
  State state = State::Stopped;
};

struct Manager {
  std::map<std::wstring, Service> services;
  // "create <name>", "repoint <name>", "start <name>", "stop <name>", "delete <name>" for every
  // successful operation.
  std::vector<std::wstring> log;
  bool denied = false;  // the manager cannot be opened with full access, as without elevation
};

Manager& Services();
void Reset();

}  // namespace sys::fake_services
