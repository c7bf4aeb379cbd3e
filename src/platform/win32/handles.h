// Owners for the Windows handles the program uses; the only place that closes them.
#pragma once

#include <windows.h>
// After <windows.h>, which they build on.
#include <objbase.h>
#include <wincrypt.h>

#include "common/scoped_handle.h"

namespace sv::win32 {

struct RegKeyTraits {
  using Handle = HKEY;
  static Handle Null() noexcept { return nullptr; }
  static bool IsValid(Handle handle) noexcept { return handle != nullptr; }
  static void Close(Handle handle) noexcept { ::RegCloseKey(handle); }
};

// Files and other kernel objects whose "none" value is INVALID_HANDLE_VALUE.
struct FileHandleTraits {
  using Handle = HANDLE;
  static Handle Null() noexcept { return INVALID_HANDLE_VALUE; }
  static bool IsValid(Handle handle) noexcept {
    return handle != INVALID_HANDLE_VALUE && handle != nullptr;
  }
  static void Close(Handle handle) noexcept { ::CloseHandle(handle); }
};

// Kernel objects whose "none" value is null (mutexes, processes, threads).
struct KernelHandleTraits {
  using Handle = HANDLE;
  static Handle Null() noexcept { return nullptr; }
  static bool IsValid(Handle handle) noexcept { return handle != nullptr; }
  static void Close(Handle handle) noexcept { ::CloseHandle(handle); }
};

struct FindHandleTraits {
  using Handle = HANDLE;
  static Handle Null() noexcept { return INVALID_HANDLE_VALUE; }
  static bool IsValid(Handle handle) noexcept { return handle != INVALID_HANDLE_VALUE; }
  static void Close(Handle handle) noexcept { ::FindClose(handle); }
};

struct CryptProviderTraits {
  using Handle = HCRYPTPROV;
  static Handle Null() noexcept { return 0; }
  static bool IsValid(Handle handle) noexcept { return handle != 0; }
  static void Close(Handle handle) noexcept { ::CryptReleaseContext(handle, 0); }
};

struct CryptHashTraits {
  using Handle = HCRYPTHASH;
  static Handle Null() noexcept { return 0; }
  static bool IsValid(Handle handle) noexcept { return handle != 0; }
  static void Close(Handle handle) noexcept { ::CryptDestroyHash(handle); }
};

// Memory the shell hands out (item id lists).
struct CoTaskMemTraits {
  using Handle = void*;
  static Handle Null() noexcept { return nullptr; }
  static bool IsValid(Handle handle) noexcept { return handle != nullptr; }
  static void Close(Handle handle) noexcept { ::CoTaskMemFree(handle); }
};

// Memory the system allocates for the caller with LocalAlloc (CommandLineToArgvW's array).
struct LocalMemTraits {
  using Handle = void*;
  static Handle Null() noexcept { return nullptr; }
  static bool IsValid(Handle handle) noexcept { return handle != nullptr; }
  static void Close(Handle handle) noexcept { ::LocalFree(handle); }
};

// Memory from the process heap that a system function hands out for the caller to free.
struct ProcessHeapMemTraits {
  using Handle = void*;
  static Handle Null() noexcept { return nullptr; }
  static bool IsValid(Handle handle) noexcept { return handle != nullptr; }
  static void Close(Handle handle) noexcept { ::HeapFree(::GetProcessHeap(), 0, handle); }
};

// Icons that ExtractIconEx hands out; an image list keeps its own copy.
struct IconTraits {
  using Handle = HICON;
  static Handle Null() noexcept { return nullptr; }
  static bool IsValid(Handle handle) noexcept { return handle != nullptr; }
  static void Close(Handle handle) noexcept { ::DestroyIcon(handle); }
};

// Service control manager and service handles.
struct ServiceHandleTraits {
  using Handle = SC_HANDLE;
  static Handle Null() noexcept { return nullptr; }
  static bool IsValid(Handle handle) noexcept { return handle != nullptr; }
  static void Close(Handle handle) noexcept { ::CloseServiceHandle(handle); }
};

// A library loaded with LoadLibrary.
struct ModuleTraits {
  using Handle = HMODULE;
  static Handle Null() noexcept { return nullptr; }
  static bool IsValid(Handle handle) noexcept { return handle != nullptr; }
  static void Close(Handle handle) noexcept { ::FreeLibrary(handle); }
};

// A COM interface pointer the owner holds one reference of.
template <class Interface>
struct ComTraits {
  using Handle = Interface*;
  static Handle Null() noexcept { return nullptr; }
  static bool IsValid(Handle handle) noexcept { return handle != nullptr; }
  static void Close(Handle handle) noexcept { handle->Release(); }
};

using RegKey = ScopedHandle<RegKeyTraits>;
using FileHandle = ScopedHandle<FileHandleTraits>;
using KernelHandle = ScopedHandle<KernelHandleTraits>;
using FindHandle = ScopedHandle<FindHandleTraits>;
using CryptProvider = ScopedHandle<CryptProviderTraits>;
using CryptHash = ScopedHandle<CryptHashTraits>;
using CoTaskMem = ScopedHandle<CoTaskMemTraits>;
using LocalMem = ScopedHandle<LocalMemTraits>;
using ProcessHeapMem = ScopedHandle<ProcessHeapMemTraits>;
using IconHandle = ScopedHandle<IconTraits>;
using ServiceHandle = ScopedHandle<ServiceHandleTraits>;
using Module = ScopedHandle<ModuleTraits>;
template <class Interface>
using ComPtr = ScopedHandle<ComTraits<Interface>>;

}  // namespace sv::win32
