#include "services/SystemLibrary.h"

#include <objbase.h>

namespace quorvane {

void NarrowDllSearch() {
  // Windows 8 and later, and Windows 7 with its update KB2533623: the system folder only.
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  if (auto narrow = SystemFunction<SetDefaultDllDirectoriesFn>(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories"))
    narrow(LOAD_LIBRARY_SEARCH_SYSTEM32);
  // Everywhere: not the current folder either, which is the game folder when started from it.
  SetDllDirectoryW(L"");
  // A DLL that Windows' own DLLs load by name later, on first use, through a path of their own
  // that the narrowing above does not reach everywhere (Wine's delay-loading; systems without
  // SetDefaultDllDirectories): loaded now from the system folder, it is found already loaded
  // then, wherever it would have been looked for. uxtheme.dll takes msimg32.dll as it first
  // draws a themed control. Every Windows has msimg32.dll; a failure here changes nothing.
  LoadSystemLibrary(L"msimg32.dll");
}

HMODULE LoadSystemLibrary(const wchar_t* name) {
  HMODULE module = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module != nullptr || GetLastError() != ERROR_INVALID_PARAMETER) return module;
  // Systems that do not know the flag (Windows 7 without KB2533623): by the system folder's
  // full path, the DLL's own dependencies then looked for beside it before the program's folder.
  const std::wstring folder = SystemFolder();
  if (folder.empty()) return nullptr;
  return LoadLibraryExW((folder + L"\\" + name).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

std::wstring SystemFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const UINT n = GetSystemDirectoryW(path.data(), static_cast<UINT>(path.size()));
    if (n == 0) return {};
    const bool whole = n < path.size();
    path.resize(n);
    if (whole) return path;
  }
}

namespace {

HMODULE Ole() {
  static const HMODULE ole = LoadSystemLibrary(L"ole32.dll");
  return ole;
}

// Whether this thread's COM has been looked at: started here (and so to be ended by its
// ComOnThisThread), or found started by another part in another mode, which ends it itself.
enum class ThreadCom { kNotYet, kStartedHere, kStartedElsewhere };
thread_local ThreadCom t_com = ThreadCom::kNotYet;

}  // namespace

HRESULT CreateSystemObject(REFCLSID type, REFIID wanted, void** object) {
  *object = nullptr;
  using CoInitializeExFn = HRESULT(WINAPI*)(void*, DWORD);
  using CoCreateInstanceFn = HRESULT(WINAPI*)(REFCLSID, IUnknown*, DWORD, REFIID, void**);
  const auto initialize = SystemFunction<CoInitializeExFn>(Ole(), "CoInitializeEx");
  const auto create = SystemFunction<CoCreateInstanceFn>(Ole(), "CoCreateInstance");
  if (initialize == nullptr || create == nullptr)
    return HRESULT_FROM_WIN32(Ole() == nullptr ? ERROR_MOD_NOT_FOUND : ERROR_PROC_NOT_FOUND);
  // Once per thread: each start that succeeds (S_FALSE too) asks for an end of its own.
  if (t_com == ThreadCom::kNotYet) {
    const HRESULT com = initialize(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    if (FAILED(com) && com != RPC_E_CHANGED_MODE) return com;
    t_com = SUCCEEDED(com) ? ThreadCom::kStartedHere : ThreadCom::kStartedElsewhere;
  }
  return create(type, nullptr, CLSCTX_INPROC_SERVER, wanted, object);
}

ComOnThisThread::~ComOnThisThread() {
  if (t_com != ThreadCom::kStartedHere) return;  // ole32 is loaded only where COM was started
  using CoUninitializeFn = void(WINAPI*)();
  if (const auto uninitialize = SystemFunction<CoUninitializeFn>(Ole(), "CoUninitialize")) uninitialize();
  t_com = ThreadCom::kNotYet;
}

}  // namespace quorvane
