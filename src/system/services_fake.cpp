#include "system/services_fake.h"

#include "system/services.h"

namespace sys {

namespace fake_services {

Manager& Services() {
  static Manager manager;
  return manager;
}

void Reset() { Services() = Manager{}; }

}  // namespace fake_services

namespace {

using fake_services::Services;
using fake_services::State;

fake_services::Service* Find(std::wstring_view name) {
  if (Services().denied) return nullptr;
  const auto found = Services().services.find(std::wstring(name));
  return found == Services().services.end() ? nullptr : &found->second;
}

void Log(const wchar_t* operation, std::wstring_view name) {
  Services().log.push_back(std::wstring(operation) + L" " + std::wstring(name));
}

}  // namespace

bool ServiceExists(std::wstring_view name) { return Services().services.contains(std::wstring(name)); }

bool InstallService(std::wstring_view name, std::wstring_view displayName, std::wstring_view binaryPath) {
  if (Services().denied || name.empty()) return false;
  if (auto* service = Find(name)) {
    service->binaryPath = ServiceCommandLine(binaryPath);
    Log(L"repoint", name);
    return true;
  }
  Services().services[std::wstring(name)] = {std::wstring(displayName), ServiceCommandLine(binaryPath), true,
                                             State::Stopped};
  Log(L"create", name);
  return true;
}

bool StartServiceByName(std::wstring_view name) {
  auto* service = Find(name);
  if (service == nullptr) return false;
  service->autoStart = true;
  if (service->state == State::Running) return false;  // ERROR_SERVICE_ALREADY_RUNNING
  service->state = State::Running;
  Log(L"start", name);
  return true;
}

bool StopServiceByName(std::wstring_view name) {
  auto* service = Find(name);
  if (service == nullptr || service->state != State::Running) return false;
  service->state = State::Stopped;
  Log(L"stop", name);
  return true;
}

void RemoveService(std::wstring_view name) {
  if (Find(name) == nullptr) return;
  Services().services.erase(std::wstring(name));
  Log(L"delete", name);
}

}  // namespace sys
