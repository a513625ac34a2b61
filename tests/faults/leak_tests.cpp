// A long session in the real main window: many requests, each running the real stand-in
// tools, must leave the process's handles and memory where they were after the first few.
// `make test` runs two hundred requests; the soak run (FAULTS_LEAK_REQUESTS=5000) five thousand.
#include <windows.h>

#include <psapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/main_window.h"
#include "tests/support/ui_driver.h"

using namespace check;
using namespace quorvane::ui;
using check::SeenBox;

// ---- The process's own figures ----

namespace {

// The system's handle table, as NtQuerySystemInformation(SystemExtendedHandleInformation)
// gives it; declared here because the SDK headers do not.
struct HandleEntry {
  PVOID object;
  ULONG_PTR processId;
  ULONG_PTR handle;
  ULONG access;
  USHORT backTrace, typeIndex;
  ULONG attributes, reserved;
};
struct HandleTable {
  ULONG_PTR count, reserved;
  HandleEntry entries[1];
};
constexpr ULONG kSystemExtendedHandleInformation = 64;
constexpr NTSTATUS kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004L);

DWORD HandlesInSystemTable() {
  using Query = NTSTATUS(NTAPI*)(ULONG, PVOID, ULONG, PULONG);
  const auto query = reinterpret_cast<Query>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
  if (query == nullptr) return 0;
  std::vector<unsigned char> buffer(1 << 18);
  for (int attempt = 0; attempt < 8; ++attempt) {
    ULONG needed = 0;
    const NTSTATUS status =
        query(kSystemExtendedHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
    if (status == kInfoLengthMismatch) {
      buffer.resize(std::max<size_t>(buffer.size() * 2, needed + 4096));
      continue;
    }
    if (status < 0) return 0;
    const auto* table = reinterpret_cast<const HandleTable*>(buffer.data());
    DWORD mine = 0;
    for (ULONG_PTR i = 0; i < table->count; ++i)
      if (table->entries[i].processId == GetCurrentProcessId()) ++mine;
    return mine;
  }
  return 0;
}

// Open handles of this process. GetProcessHandleCount, or where that answers nothing (Wine
// gives 0) the process's entries in the system's handle table; `how` says which.
DWORD HandleCount(const char** how) {
  DWORD count = 0;
  if (GetProcessHandleCount(GetCurrentProcess(), &count) && count != 0) {
    if (how) *how = "GetProcessHandleCount";
    return count;
  }
  if (how) *how = "the system handle table (GetProcessHandleCount gives 0 here)";
  return HandlesInSystemTable();
}

// Threads of this process. The system's thread pool adds and retires threads as the load asks,
// and under Wine each costs about a megabyte of commit.
DWORD ThreadCount() {
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  DWORD count = 0;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
    if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
  CloseHandle(snapshot);
  return count;
}

// Private bytes of this process: PrivateUsage, or where that reads 0 (Wine) PagefileUsage,
// the commit charge it stands for; `how` says which.
SIZE_T PrivateBytes(const char** how) {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                            sizeof counters)) {
    check::Fail(__FILE__, __LINE__, "GetProcessMemoryInfo failed: " + std::to_string(GetLastError()));
    return 0;
  }
  if (counters.PrivateUsage != 0) {
    if (how) *how = "PrivateUsage";
    return counters.PrivateUsage;
  }
  if (how) *how = "PagefileUsage (PrivateUsage reads 0 here)";
  return counters.PagefileUsage;
}

constexpr int kWarmUp = 10;  // requests before the figures are taken the first time
// What the process may gain after the warm-up and still count as steady: a thread that the
// system's pools add or drop owns a few handles, and the allocator keeps a few pages it has
// touched once (runs here gain 0 handles and 20-40 KiB). One handle lost per request ends far
// beyond the bound. Memory is taken in two halves, and the smaller gain counts: a leak grows
// in both, while a pool that grows once (the folder watches' first bursts of changes take
// about 1 MiB of Wine's, once) grows in one. Memory lost per request shows from about 1.4 KiB
// in `make test`'s two hundred requests (one string of a path, say), and from about 55 bytes
// in the soak run's five thousand.
constexpr long kHandleBound = 4;
constexpr long long kMemoryBound = 256 * 1024;

int RequestCount() {
  const char* text = std::getenv("FAULTS_LEAK_REQUESTS");
  const int count = text != nullptr ? std::atoi(text) : 0;
  return count > kWarmUp ? count : 200;
}

struct Figures {
  DWORD handles;
  SIZE_T privateBytes;
  DWORD threads;
};

Figures Measure(const char** handlesHow = nullptr, const char** memoryHow = nullptr) {
  // Let the tools' ends be handled and the system's pools settle first.
  check::Pump(200);
  return {HandleCount(handlesHow), PrivateBytes(memoryHow), ThreadCount()};
}

// What one more thread costs in private bytes here: a thread made, measured while it waits.
long long ThreadCost() {
  const SIZE_T before = PrivateBytes(nullptr);
  const HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  const HANDLE thread = CreateThread(
      nullptr, 0, [](void* event) -> DWORD { return WaitForSingleObject(event, INFINITE); }, stop, 0, nullptr);
  if (stop == nullptr || thread == nullptr) check::Abort(__FILE__, __LINE__, "cannot make a thread");
  Sleep(100);
  const SIZE_T after = PrivateBytes(nullptr);
  SetEvent(stop);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  CloseHandle(stop);
  return after > before ? static_cast<long long>(after - before) : 0;
}

}  // namespace

TEST(leaks, requests_with_tool_runs_leave_no_handles_or_memory_behind) {
  const int requests = RequestCount();
  CleanGameFolder();
  REQUIRE(MakeFile(GameFolder() + L"red.bmp", "BM red"));
  REQUIRE(MakeFile(GameFolder() + L"blue.bmp", "BM blue"));
  OpenWindow w;
  check::MessageBoxAnswerer boxes;
  w.showPage(1);
  w.choose(kFile2, L"blue.bmp");
  check::Type(w[kText2], L"pack");
  w.showPage(0);
  check::Click(w[kOption2]);
  check::Click(w[kOption5]);
  w.choose(kFile1, L"red.bmp");
  check::Type(w[kText1], L"long");
  const SeenBox question{L"Add long.lfemale.bmp to long.vol?", L"Success", MB_YESNO | MB_ICONINFORMATION};

  Figures base{}, middle{};
  const ULONGLONG start = GetTickCount64();
  int skinsMade = 0, packed = 0, failed = 0, refused = 0;
  for (int i = 0; i < requests; ++i) {
    // In turn: a skin packed on Yes, a skin left unpacked on No, a picture packed from the
    // Volumes page.
    const int kind = i % 3;
    boxes.seen.clear();
    if (kind == 2) {
      w.showPage(1);
      check::Click(w[kCommand4]);
    } else {
      w.showPage(0);
      boxes.answers = {kind == 0 ? IDYES : IDNO};
      check::Click(w[kCommand1]);
    }
    w.waitForTools();
    const bool asked = kind == 2 ? boxes.seen.empty() : boxes.seen == std::vector<SeenBox>{question};
    const auto makers = ToolLog(L"makeskin");
    const auto packs = ToolLog(L"vt");
    const bool ran = makers.size() == (kind == 2 ? 0u : 1u) && packs.size() == (kind == 1 ? 0u : 1u) &&
                     (makers.empty() || makers[0].exitCode == 0) && (packs.empty() || packs[0].exitCode == 0);
    // Wine now and then refuses to start a program ("Internal error"), about once in a few
    // thousand starts. Quorvane asks again; should the system refuse every time, Quorvane
    // must say so, and did: the system's hiccup, not the request's fault, counted apart.
    const bool startRefused = std::any_of(boxes.seen.begin(), boxes.seen.end(), [](const SeenBox& box) {
      return box.title == L"Oops..!" && box.text.starts_with(L"Unable to start " + GameFolder());
    });
    if (startRefused) {
      ++refused;
      std::printf("  note: request %d: the system refused a start: %s\n", i,
                  check::Show(boxes.seen.back().text).c_str());
    } else if (!asked || !ran) {
      if (++failed <= 3) {
        std::string runs;
        for (const auto& run : makers)
          runs += " makeskin " + std::to_string(run.exitCode) + " " + check::Show(run.message);
        for (const auto& run : packs)
          runs += " vt " + std::to_string(run.exitCode) + " " + check::Show(run.message);
        check::Fail(__FILE__, __LINE__,
                    "request " + std::to_string(i) + " (kind " + std::to_string(kind) +
                        ") went wrong: told " + check::Show(boxes.seen) + "; ran" +
                        (runs.empty() ? " nothing" : runs));
      }
    }
    skinsMade += static_cast<int>(makers.size());
    packed += static_cast<int>(packs.size());
    DeleteFileW((GameFolder() + L"makeskin.log").c_str());
    DeleteFileW((GameFolder() + L"vt.log").c_str());
    if (i + 1 == kWarmUp) base = Measure();
    if (i + 1 == (kWarmUp + requests) / 2) middle = Measure();
  }
  const ULONGLONG took = GetTickCount64() - start;
  const char *handlesHow = nullptr, *memoryHow = nullptr;
  const Figures end = Measure(&handlesHow, &memoryHow);

  const long handleGain = static_cast<long>(end.handles) - static_cast<long>(base.handles);
  // Threads the pool added or retired meanwhile do not count: a pool busier under load keeps
  // more, a leak is memory beyond them.
  const long long threadCost = ThreadCost();
  const auto gain = [threadCost](const Figures& from, const Figures& to) {
    return static_cast<long long>(to.privateBytes) - static_cast<long long>(from.privateBytes) -
           (static_cast<long long>(to.threads) - static_cast<long long>(from.threads)) * threadCost;
  };
  const long long memoryGain = std::min(gain(base, middle), gain(middle, end)) * 2;
  std::printf(
      "  note: %d requests (%d skin-maker and %d volume-tool runs, %d starts refused) in %llu ms, "
      "%.1f ms a request\n",
      requests, skinsMade, packed, refused, static_cast<unsigned long long>(took),
      static_cast<double>(took) / requests);
  std::printf("  note: handles after %d requests %lu, after %d %lu (%+ld, bound %ld), by %s\n", kWarmUp,
              static_cast<unsigned long>(base.handles), requests, static_cast<unsigned long>(end.handles),
              handleGain, kHandleBound, handlesHow);
  std::printf(
      "  note: private bytes after %d requests %llu KiB (%lu threads), half-way %llu KiB (%lu), after %d "
      "%llu KiB (%lu); a thread costs %lld KiB; twice the smaller half's gain beyond threads %+lld KiB, "
      "bound %lld KiB, by %s\n",
      kWarmUp, static_cast<unsigned long long>(base.privateBytes / 1024), static_cast<unsigned long>(base.threads),
      static_cast<unsigned long long>(middle.privateBytes / 1024), static_cast<unsigned long>(middle.threads),
      requests, static_cast<unsigned long long>(end.privateBytes / 1024), static_cast<unsigned long>(end.threads),
      threadCost / 1024, memoryGain / 1024, kMemoryBound / 1024, memoryHow);
  CHECK_EQ(failed, 0);
  CHECK(refused <= requests / 100);
  CHECK(base.handles > 0 && base.privateBytes > 0);
  CHECK(handleGain <= kHandleBound);
  CHECK(memoryGain <= kMemoryBound);
  CHECK(IsWindow(w.window.hwnd()) && !QuitPosted());
  CleanGameFolder();
}
