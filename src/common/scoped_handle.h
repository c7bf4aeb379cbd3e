// One move-only owner for every kind of operating-system handle. A traits class per kind says
// what the handle type is, which value means "none" and how it is closed; nothing outside an
// owner closes a handle.
#pragma once

#include <utility>

namespace sv {

template <class Traits>
class ScopedHandle {
 public:
  using Handle = typename Traits::Handle;

  ScopedHandle() noexcept = default;
  explicit ScopedHandle(Handle handle) noexcept : handle_(handle) {}
  ScopedHandle(ScopedHandle&& other) noexcept : handle_(other.Release()) {}
  ScopedHandle& operator=(ScopedHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  ~ScopedHandle() { Reset(); }

  [[nodiscard]] bool IsValid() const noexcept { return Traits::IsValid(handle_); }
  explicit operator bool() const noexcept { return IsValid(); }
  [[nodiscard]] Handle Get() const noexcept { return handle_; }

  // For functions that hand a new handle out through a pointer: closes the current one first.
  [[nodiscard]] Handle* Receive() noexcept {
    Reset();
    return &handle_;
  }

  [[nodiscard]] Handle Release() noexcept { return std::exchange(handle_, Traits::Null()); }

  void Reset(Handle handle = Traits::Null()) noexcept {
    if (Traits::IsValid(handle_)) Traits::Close(handle_);
    handle_ = handle;
  }

 private:
  Handle handle_ = Traits::Null();
};

}  // namespace sv
