// The launcher's answers when a tool cannot be started, and the texts the user reads.
#include <string>

#include "services/ToolLauncher.h"
#include "services/WinError.h"
#include "tests/services/LauncherFixture.h"
#include "tests/support/check.h"

namespace {

using launchertest::Harness;
using quorvane::DescribeExitCode;
using quorvane::DescribeLaunchFailure;
using quorvane::ToolResult;
using quorvane::ToolRun;

bool EndsWith(const std::wstring& text, const std::wstring& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// A run that cannot start must be reported once, at once, and leave nothing behind.
void CheckNotStarted(Harness& h, const ToolRun& run) {
  auto results = h.Start(run);
  REQUIRE(results->calls.size() == 1u);  // before StartTool returned
  const ToolResult& result = results->Last();
  CHECK_EQ(result.status, ToolResult::kNotStarted);
  CHECK(result.error != DWORD{ERROR_SUCCESS});
  CHECK(!result.outputWritten);
  CHECK(h.launcher->Idle());
  const std::wstring warning = DescribeLaunchFailure(run, result);
  CHECK(warning.find(run.application) != std::wstring::npos);
  CHECK(warning.find(L"%1") == std::wstring::npos);
  CHECK(EndsWith(warning, L"..!"));
  check::Pump(100);
  CHECK_EQ(results->calls.size(), size_t{1});
}

TEST(launcher, missing_tool_is_reported_once_with_its_path) {
  const std::wstring folder = check::ScratchFolder(L"missing tool");
  Harness h;
  ToolRun run{folder + L"\\makeskin.exe", L"\"" + folder + L"\\makeskin.exe\" pal1 a.bmp b.bmp", folder,
              folder + L"\\b.bmp"};
  CheckNotStarted(h, run);
  CHECK_EQ(h.Start(run)->Last().error, DWORD{ERROR_FILE_NOT_FOUND});
}

TEST(launcher, file_that_is_not_a_program_is_refused) {
  const std::wstring folder = check::ScratchFolder(L"not a program");
  check::WriteFile(folder + L"\\vt.exe", "This is a note, renamed by mistake.\r\n");
  Harness h;
  CheckNotStarted(h, ToolRun{folder + L"\\vt.exe", L"\"" + folder + L"\\vt.exe\" -sp x.vol y.bmp", folder, L""});
}

TEST(launcher, missing_working_folder_is_refused) {
  const std::wstring folder = check::ScratchFolder(L"gone folder");
  Harness h;
  std::wstring system(MAX_PATH, L'\0');
  system.resize(GetSystemDirectoryW(system.data(), MAX_PATH));
  const std::wstring cmd = system + L"\\cmd.exe";
  CheckNotStarted(h, ToolRun{cmd, L"\"" + cmd + L"\" /c exit 0", folder + L"\\no such folder", L""});
}

TEST(launcher, a_failed_start_does_not_hold_up_its_output) {
  const std::wstring folder = check::ScratchFolder(L"failed start queue");
  Harness h;
  ToolRun missing{folder + L"\\makeskin.exe", L"\"" + folder + L"\\makeskin.exe\"", folder, folder + L"\\out.bmp"};
  CHECK_EQ(h.Start(missing)->calls.size(), size_t{1});
  // The same output again, written differently: it is not queued behind the failed run.
  missing.output = folder + L"\\.\\OUT.BMP";
  CHECK_EQ(h.Start(missing)->calls.size(), size_t{1});
  CHECK(h.launcher->Idle());
}

TEST(launcher, unknown_notices_are_ignored) {
  Harness h;
  h.launcher->OnToolExited(0);
  h.launcher->OnToolExited(987654321);
  check::Pump(50);
  CHECK(h.launcher->Idle());
}

TEST(launcher, exit_codes_read_as_the_user_looks_them_up) {
  CHECK_EQ(DescribeExitCode(0), std::wstring(L"0"));
  CHECK_EQ(DescribeExitCode(3), std::wstring(L"3"));
  CHECK_EQ(DescribeExitCode(259), std::wstring(L"259"));
  CHECK_EQ(DescribeExitCode(0xBFFFFFFF), std::wstring(L"3221225471"));
  CHECK_EQ(DescribeExitCode(0xC0000005), std::wstring(L"0xC0000005"));
  CHECK_EQ(DescribeExitCode(0xC000013A), std::wstring(L"0xC000013A"));
  CHECK_EQ(DescribeExitCode(0xFFFFFFFF), std::wstring(L"0xFFFFFFFF"));
}

TEST(launcher, failure_warnings_name_the_tool_and_the_reason) {
  const ToolRun run{L"C:\\Game\\makeskin.exe", L"\"C:\\Game\\makeskin.exe\"", L"C:\\Game\\", L""};
  ToolResult result;
  result.status = ToolResult::kNotStarted;
  result.error = ERROR_FILE_NOT_FOUND;
  CHECK_EQ(DescribeLaunchFailure(run, result),
           L"Unable to start C:\\Game\\makeskin.exe: " + quorvane::SystemMessage(ERROR_FILE_NOT_FOUND) + L"..!");
  result.status = ToolResult::kLostTrack;
  result.error = ERROR_NOT_ENOUGH_MEMORY;
  const std::wstring lost = DescribeLaunchFailure(run, result);
  CHECK(lost.find(L"C:\\Game\\makeskin.exe") != std::wstring::npos);
  CHECK(lost.find(quorvane::SystemMessage(ERROR_NOT_ENOUGH_MEMORY)) != std::wstring::npos);
  CHECK(EndsWith(lost, L"..!"));
  CHECK(lost.find(L"Unable to start") == std::wstring::npos);  // it did start
}

}  // namespace
