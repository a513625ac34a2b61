// COM's life on a thread: started once, whatever the thread makes, and ended with its
// ComOnThisThread; probed by starting it in the other mode, which is refused while it is started.
#include <objbase.h>

#include <thread>

#include "services/SystemLibrary.h"
#include "tests/support/check.h"

TEST(system, com_starts_once_on_a_thread_and_ends_with_it) {
  HRESULT during = S_OK, after = E_FAIL;
  std::thread([&] {
    {
      quorvane::ComOnThisThread com;
      void* none = nullptr;
      for (int i = 0; i < 2; ++i) quorvane::CreateSystemObject(GUID_NULL, IID_IUnknown, &none);
      during = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    }
    after = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (SUCCEEDED(after)) CoUninitialize();
  }).join();
  CHECK_EQ(during, RPC_E_CHANGED_MODE);
  CHECK_EQ(after, S_OK);
}
