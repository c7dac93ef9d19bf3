// The one family of owners of Win32 handles, for the Windows-only sources of every layer that
// builds on system (never include from a portable header). Owned closes one handle of any kind
// named by its traits; Com holds one COM reference.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include <utility>

namespace sys::win {

// Owns one handle and closes it when it goes. Traits names the handle type, its closing call and
// its "none" value; a null handle counts as none too.
template <typename Traits>
class Owned {
 public:
  using Type = typename Traits::Type;

  Owned() = default;
  explicit Owned(Type handle) : handle_(handle) {}
  ~Owned() { Reset(); }
  Owned(Owned&& other) noexcept : handle_(std::exchange(other.handle_, Traits::None())) {}
  Owned& operator=(Owned&& other) noexcept {
    if (this != &other) {
      Reset();
      handle_ = std::exchange(other.handle_, Traits::None());
    }
    return *this;
  }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;

  Type Get() const { return handle_; }
  Type* Receive() {
    Reset();
    return &handle_;
  }
  Type Release() { return std::exchange(handle_, Traits::None()); }
  explicit operator bool() const { return handle_ != Traits::None() && handle_ != Type{}; }
  void Reset() {
    if (*this) Traits::Close(handle_);
    handle_ = Traits::None();
  }

 private:
  Type handle_ = Traits::None();
};

struct HandleTraits {
  using Type = HANDLE;
  static Type None() { return nullptr; }
  static void Close(Type h) { CloseHandle(h); }
};
// Snapshots and files, whose "none" is INVALID_HANDLE_VALUE.
struct FileHandleTraits {
  using Type = HANDLE;
  static Type None() { return INVALID_HANDLE_VALUE; }
  static void Close(Type h) { CloseHandle(h); }
};
struct FindHandleTraits {
  using Type = HANDLE;
  static Type None() { return INVALID_HANDLE_VALUE; }
  static void Close(Type h) { FindClose(h); }
};
struct ServiceHandleTraits {
  using Type = SC_HANDLE;
  static Type None() { return nullptr; }
  static void Close(Type h) { CloseServiceHandle(h); }
};
struct LibraryTraits {
  using Type = HMODULE;
  static Type None() { return nullptr; }
  static void Close(Type h) { FreeLibrary(h); }
};

// A window of ours that lives as long as its owner (DestroyWindow on the window's own thread).
struct WindowTraits {
  using Type = HWND;
  static Type None() { return nullptr; }
  static void Close(Type h) { DestroyWindow(h); }
};
struct RegKeyTraits {
  using Type = HKEY;
  static Type None() { return nullptr; }
  static void Close(Type h) { RegCloseKey(h); }
};
// Sessions, connections and requests of WinHTTP.
struct InternetTraits {
  using Type = HINTERNET;
  static Type None() { return nullptr; }
  static void Close(Type h) { WinHttpCloseHandle(h); }
};

// Memory the system allocated for us, by the call that frees it: LocalAlloc (security
// descriptors, SID texts, command-line arrays), GlobalAlloc (WinHTTP's proxy texts),
// CoTaskMemAlloc (shell paths and item lists).
template <typename T>
struct LocalMemoryTraits {
  using Type = T;
  static Type None() { return nullptr; }
  static void Close(Type p) { LocalFree(p); }
};
template <typename T>
struct GlobalMemoryTraits {
  using Type = T;
  static Type None() { return nullptr; }
  static void Close(Type p) { GlobalFree(p); }
};
template <typename T>
struct CoTaskMemoryTraits {
  using Type = T;
  static Type None() { return nullptr; }
  static void Close(Type p) { CoTaskMemFree(p); }
};

// GDI objects (fonts, bitmaps, brushes) and memory device contexts. A GDI object must not be
// selected into a device context when it goes: put the old one back first.
template <typename T>
struct GdiObjectTraits {
  using Type = T;
  static Type None() { return nullptr; }
  static void Close(Type h) { DeleteObject(h); }
};
struct MemoryDcTraits {
  using Type = HDC;
  static Type None() { return nullptr; }
  static void Close(Type h) { DeleteDC(h); }
};

using Handle = Owned<HandleTraits>;
using FileHandle = Owned<FileHandleTraits>;
using FindHandle = Owned<FindHandleTraits>;
using ServiceHandle = Owned<ServiceHandleTraits>;
using Library = Owned<LibraryTraits>;
using Window = Owned<WindowTraits>;
using RegKeyHandle = Owned<RegKeyTraits>;
using Internet = Owned<InternetTraits>;
using LocalMemory = Owned<LocalMemoryTraits<HLOCAL>>;
template <typename T>
using LocalPointer = Owned<LocalMemoryTraits<T*>>;
template <typename T>
using GlobalPointer = Owned<GlobalMemoryTraits<T*>>;
template <typename T>
using CoTaskPointer = Owned<CoTaskMemoryTraits<T*>>;
template <typename T>
using GdiObject = Owned<GdiObjectTraits<T>>;
using MemoryDc = Owned<MemoryDcTraits>;

}  // namespace sys::win

namespace sys::win {

// Owns one reference to a COM interface.
template <typename I>
class Com {
 public:
  Com() = default;
  explicit Com(I* pointer) : pointer_(pointer) {}  // takes over the reference
  ~Com() { Reset(); }
  Com(const Com&) = delete;
  Com& operator=(const Com&) = delete;

  I* operator->() const { return pointer_; }
  I* Get() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }
  void** Receive() {
    Reset();
    return reinterpret_cast<void**>(&pointer_);
  }
  void Reset() {
    if (pointer_ != nullptr) pointer_->Release();
    pointer_ = nullptr;
  }

 private:
  I* pointer_ = nullptr;
};

}  // namespace sys::win
