// COM on a thread: started once, whatever the thread makes, and ended with the thread's
// ComOnThisThread.
#include <objbase.h>

#include <thread>

#include "services/SystemLibrary.h"
#include "tests/support/check.h"

TEST(system, com_starts_once_on_a_thread_and_ends_with_it) {
  // Probed by starting COM in the other mode: refused while it is started, taken once it ended.
  HRESULT during = S_OK, after = E_FAIL;
  std::thread([&] {
    {
      quorvane::ComOnThisThread com;
      for (int i = 0; i < 2; ++i) {
        IUnknown* object = nullptr;
        if (SUCCEEDED(quorvane::CreateSystemObject(CLSID_StdGlobalInterfaceTable, IID_IUnknown,
                                                   reinterpret_cast<void**>(&object))))
          object->Release();
      }
      during = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    }
    after = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (SUCCEEDED(after)) CoUninitialize();
  }).join();
  CHECK_EQ(during, RPC_E_CHANGED_MODE);
  CHECK_EQ(after, S_OK);
}
