// Loading Windows' own DLLs without ever taking one from the program's folder. Quorvane sits in
// a game folder among downloaded files: a DLL there that bears a system DLL's name must never
// run.
#pragma once

#include <windows.h>

#include <string>

namespace quorvane {

// Narrows the DLL search of the whole process to the system folder, and loads from there the
// DLLs that Windows' own load by name later, before anything else loads. Called first thing
// at start-up.
void NarrowDllSearch();

// The system folder ("C:\Windows\System32"); empty when the system does not tell it.
std::wstring SystemFolder();

// Loads a DLL of Windows' own from the system folder, and from nowhere else; null when it is
// not there (the reason is then in GetLastError).
HMODULE LoadSystemLibrary(const wchar_t* name);

// A function of a DLL already loaded (by LoadSystemLibrary, or one of Windows' own that every
// process has), as F; null when the module is null or has no such function, as on a system
// older than the function.
template <typename F>
F SystemFunction(HMODULE module, const char* name) {
  return module == nullptr ? nullptr : reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// An in-process COM object of Windows' own, as CoCreateInstance makes it, with COM started on
// the calling thread (single-threaded apartment) by the thread's first call, and ole32.dll
// loaded from the system folder then rather than at start: most runs never need COM. S_OK
// with *object set, or the failure.
HRESULT CreateSystemObject(REFCLSID type, REFIID wanted, void** object);

// The life of COM on a thread that makes COM objects: held for the thread's whole life,
// made before those objects so that it goes after them, it ends COM on the thread where
// CreateSystemObject started it. Ended sooner, it would take COM away from objects the system
// still serves (the taskbar's, the screen readers' names).
class ComOnThisThread {
 public:
  ComOnThisThread() = default;
  ~ComOnThisThread();
  ComOnThisThread(const ComOnThisThread&) = delete;
  ComOnThisThread& operator=(const ComOnThisThread&) = delete;
};

}  // namespace quorvane
