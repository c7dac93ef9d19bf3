// Owners of Win32 handles for the Windows-only sources of this folder (never include from a
// portable header).
#pragma once

#include <windows.h>

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

// Memory the system allocated with LocalAlloc for us: security descriptors, SID texts.
struct LocalMemoryTraits {
  using Type = HLOCAL;
  static Type None() { return nullptr; }
  static void Close(Type p) { LocalFree(p); }
};

using Handle = Owned<HandleTraits>;
using FileHandle = Owned<FileHandleTraits>;
using FindHandle = Owned<FindHandleTraits>;
using ServiceHandle = Owned<ServiceHandleTraits>;
using Library = Owned<LibraryTraits>;
using LocalMemory = Owned<LocalMemoryTraits>;

}  // namespace sys::win

namespace sys::win {

// Owns one reference to a COM interface.
template <typename I>
class Com {
 public:
  Com() = default;
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
