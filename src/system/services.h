// The product's Windows service through the Service Control Manager: existence test, creation,
// start, stop and removal. No operation shows a message or raises; failures come back as false.
#pragma once

#include <string>
#include <string_view>

namespace sys {

// True when a service of that name can be opened.
bool ServiceExists(std::wstring_view name);
// Creates an automatically started service running as LocalSystem, or points an existing one at
// binaryPath (an earlier install's may name a program in a folder that users could change; the rest
// of its configuration stays); true when done.
bool InstallService(std::wstring_view name, std::wstring_view displayName, std::wstring_view binaryPath);
// Sets the service to automatic start and starts it; true when the start request succeeded.
bool StartServiceByName(std::wstring_view name);
// Asks the service to stop and waits, pumping window messages once a second, while it is stopping
// (at most 30 s); true when it ended stopped.
bool StopServiceByName(std::wstring_view name);
// Sends a stop request and deletes the service.
void RemoveService(std::wstring_view name);

// The binary path as the service is registered with: in double quotes, so that a path with spaces
// cannot start another program (C:\Program.exe for C:\Program Files\...).
std::wstring ServiceCommandLine(std::wstring_view binaryPath);

}  // namespace sys
