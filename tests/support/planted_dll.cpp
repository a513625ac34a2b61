// A DLL planted in a game folder under the name of one Windows may load: when anything loads
// it, it leaves "<its own file name>.ran" beside itself, and nothing more. Plain Win32 only,
// so that it needs nothing loaded for it.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  const HANDLE heap = GetProcessHeap();
  for (DWORD size = 512; size <= 65536; size *= 2) {
    auto* path = static_cast<wchar_t*>(HeapAlloc(heap, 0, (size + 4) * sizeof(wchar_t)));
    if (path == nullptr) break;
    const DWORD n = GetModuleFileNameW(self, path, size);
    if (n > 0 && n < size) {
      lstrcpyW(path + n, L".ran");
      const HANDLE marker = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (marker != INVALID_HANDLE_VALUE) CloseHandle(marker);
    }
    HeapFree(heap, 0, path);
    if (n == 0 || n < size) break;
  }
  return TRUE;
}
