// The launcher with the stand-in game tools: what a tool really receives, how runs end, and
// which runs wait for which. Each test copies the stand-in into a scratch folder of its own,
// so that its log holds only that test's runs.
#include <windows.h>

#include <string>
#include <vector>

#include "services/CommandLine.h"
#include "services/ToolLauncher.h"
#include "tests/support/HostileCorpus.h"
#include "tests/services/LauncherFixture.h"
#include "tests/support/check.h"
#include "tests/support/standin_log.h"

namespace {

using launchertest::Harness;
using launchertest::Results;
using quorvane::BuildCommandLine;
using quorvane::ToolResult;
using quorvane::ToolRun;

constexpr unsigned long long kTicksPerMs = 10000;  // FILETIME units

// The stand-in `tool` ("makeskin.exe") copied into `folder`; returns its full path.
std::wstring PlaceTool(const std::wstring& folder, const std::wstring& tool) {
  const std::wstring path = folder + L"\\" + tool;
  REQUIRE(CopyFileW((check::ProgramFolder() + tool).c_str(), path.c_str(), FALSE));
  return path;
}

std::wstring LogOf(const std::wstring& toolPath) {
  return toolPath.substr(0, toolPath.size() - 4) + L".log";  // makeskin.exe -> makeskin.log
}

std::vector<check::StandinRun> WaitForLog(const std::wstring& toolPath, size_t blocks, DWORD timeoutMs = 15000) {
  std::vector<check::StandinRun> runs;
  check::PumpUntil(
      [&] {
        runs = check::ReadStandinLog(LogOf(toolPath));
        return runs.size() >= blocks;
      },
      timeoutMs);
  return runs;
}

// Sets the stand-in's fault variable for the runs started while it lives.
class Fault {
 public:
  explicit Fault(const std::wstring& directives, const wchar_t* variable = L"MAKESKIN_FAULT")
      : variable_(variable) {
    REQUIRE(SetEnvironmentVariableW(variable_, directives.c_str()));
  }
  ~Fault() { SetEnvironmentVariableW(variable_, nullptr); }
  Fault(const Fault&) = delete;
  Fault& operator=(const Fault&) = delete;

 private:
  const wchar_t* variable_;
};

// A makeskin run in `folder`, as the Skins page makes one: source and output full paths.
ToolRun SkinRun(const std::wstring& tool, const std::wstring& folder, const std::wstring& source,
                const std::wstring& output) {
  return ToolRun{tool, BuildCommandLine(tool, {L"pal1", source, output}), folder + L"\\", output};
}

std::wstring OutputArgument(const check::StandinRun& run) {
  return run.crtArgs.size() > 3 ? run.crtArgs[3] : L"";
}

const check::StandinRun* FindRun(const std::vector<check::StandinRun>& runs, const std::wstring& output) {
  for (const auto& run : runs)
    if (OutputArgument(run) == output) return &run;
  return nullptr;
}

// Ends the stand-ins this process started from `toolPath` that are still running.
int EndLeftoverTools(const std::wstring& toolPath, UINT exitCode) {
  return check::EndStandins(
      [&](const std::wstring& image) {
        return CompareStringOrdinal(image.c_str(), -1, toolPath.c_str(), -1, TRUE) == CSTR_EQUAL;
      },
      exitCode);
}

// ---- What a tool receives ------------------------------------------------------------

// Every argument must reach the tool's C run time (and the current one, and the shell's
// splitter) as exactly one identical argument: no splits, nothing injected.
void CheckArgumentsArrive(Harness& h, const std::wstring& tool, const std::wstring& folder,
                          const std::vector<std::wstring>& sent, size_t logBlock) {
  const ToolRun run{tool, BuildCommandLine(tool, sent), folder, L""};
  auto results = h.Start(run);
  REQUIRE(check::PumpUntil([&] { return results->Done(); }));
  CHECK_EQ(results->Last().status, ToolResult::kExited);
  const auto runs = WaitForLog(tool, logBlock + 1);
  REQUIRE(runs.size() == logBlock + 1);
  const check::StandinRun& got = runs[logBlock];
  CHECK_EQ(got.commandLine, run.commandLine);
  std::vector<std::wstring> expected{tool};
  expected.insert(expected.end(), sent.begin(), sent.end());
  CHECK_EQ(got.crtArgs, expected);
  CHECK_EQ(got.shellArgs, expected);
  if (!got.ucrtArgs.empty()) CHECK_EQ(got.ucrtArgs, expected);
}

TEST(childargs, hostile_arguments_reach_the_tool_unchanged) {
  const std::wstring folder = check::ScratchFolder(L"Game Folder \u00fc \u65e5");
  const std::wstring tool = PlaceTool(folder, L"makeskin.exe");
  Fault fault(L"exit=0");  // the tool only logs what it got
  Harness h;
  const std::vector<std::wstring> args = hostile::Texts(1000);
  CheckArgumentsArrive(h, tool, folder, args, 0);
  CheckArgumentsArrive(h, tool, folder, std::vector<std::wstring>(args.rbegin(), args.rend()), 1);
  // Trailing backslashes where the line ends.
  size_t block = 2;
  for (const std::wstring& arg : args) {
    if (arg.empty() || arg.back() != L'\\') continue;
    CheckArgumentsArrive(h, tool, folder, {L"pal1", arg}, block++);
  }
}

TEST(runs, tool_sees_the_exact_command_line_folder_and_show_mode) {
  const std::wstring folder = check::ScratchFolder(L"My Game \u00e9dition");
  const std::wstring tool = PlaceTool(folder, L"makeskin.exe");
  check::WriteFile(folder + L"\\my skin.bmp", "BM fake picture");
  const std::wstring output = folder + L"\\red.larmor.bmp";
  Harness h;
  const ToolRun run = SkinRun(tool, folder, folder + L"\\my skin.bmp", output);
  auto results = h.Start(run);
  CHECK(results->calls.empty());  // never waited for here
  REQUIRE(check::PumpUntil([&] { return results->Done(); }));
  CHECK_EQ(results->calls.size(), size_t{1});
  CHECK_EQ(results->Last().status, ToolResult::kExited);
  CHECK_EQ(results->Last().exitCode, DWORD{0});
  CHECK(results->Last().outputWritten);
  CHECK(h.launcher->Idle());

  const auto runs = check::ReadStandinLog(LogOf(tool));
  REQUIRE(runs.size() == 1u);
  CHECK_EQ(runs[0].commandLine, run.commandLine);
  CHECK_EQ(runs[0].workingFolder, folder);
  // Its window mode, and no start-up pointer of the system's over the window's own.
  CHECK_EQ(runs[0].startupFlags, static_cast<unsigned long>(STARTF_USESHOWWINDOW | STARTF_FORCEOFFFEEDBACK));
  CHECK_EQ(runs[0].showWindow, unsigned{SW_SHOWMINIMIZED});
  CHECK_EQ(runs[0].exitCode, 0);
  check::Pump(100);
  CHECK_EQ(results->calls.size(), size_t{1});
}

// ---- How runs end --------------------------------------------------------------------

TEST(runs, failing_and_crashing_tools_report_their_codes) {
  const std::wstring folder = check::ScratchFolder(L"failing tool");
  const std::wstring tool = PlaceTool(folder, L"makeskin.exe");
  check::WriteFile(folder + L"\\in.bmp", "BM");
  Harness h;
  struct Case {
    const wchar_t* fault;
    DWORD code;
    const wchar_t* shown;
  };
  for (const Case& c : {Case{L"exit=3", 3, L"3"}, Case{L"crash", 0xC0000005, L"0xC0000005"}}) {
    const std::wstring output = folder + L"\\out " + c.shown + L".bmp";
    std::shared_ptr<Results> results;
    {
      Fault fault(c.fault);
      results = h.Start(SkinRun(tool, folder, folder + L"\\in.bmp", output));
    }
    REQUIRE(check::PumpUntil([&] { return results->Done(); }));
    CHECK_EQ(results->Last().status, ToolResult::kExited);
    CHECK_EQ(results->Last().exitCode, c.code);
    CHECK_EQ(quorvane::DescribeExitCode(results->Last().exitCode), std::wstring(c.shown));
    CHECK(!results->Last().outputWritten);
  }
  // A usage error, without any fault: the tool's own failure code comes through.
  auto results = h.Start(ToolRun{tool, BuildCommandLine(tool, {L"pal9", L"in.bmp", L"x.bmp"}), folder,
                                 folder + L"\\x.bmp"});
  REQUIRE(check::PumpUntil([&] { return results->Done(); }));
  CHECK_EQ(results->Last().exitCode, DWORD{1});
  CHECK(!results->Last().outputWritten);
}

TEST(runs, output_written_only_when_the_run_wrote_it) {
  const std::wstring folder = check::ScratchFolder(L"output written");
  const std::wstring tool = PlaceTool(folder, L"makeskin.exe");
  check::WriteFile(folder + L"\\source.bmp", "BM new skin");
  const std::wstring output = folder + L"\\p.harmor.bmp";
  Harness h;
  auto finish = [&](const ToolRun& run) {
    auto results = h.Start(run);
    REQUIRE(check::PumpUntil([&] { return results->Done(); }));
    CHECK_EQ(results->Last().status, ToolResult::kExited);
    CHECK_EQ(results->Last().exitCode, DWORD{0});
    return results->Last().outputWritten;
  };
  // An old skin from an earlier session is there; a tool that ends well without writing
  // must not pass for one that made a new one.
  check::WriteFile(output, "BM old skin");
  {
    Fault fault(L"nooutput");
    CHECK(!finish(SkinRun(tool, folder, folder + L"\\source.bmp", output)));
  }
  CHECK(finish(SkinRun(tool, folder, folder + L"\\source.bmp", output)));  // over the old one
  // The same skin made again: same size, and a copy keeps the source's time.
  CHECK(finish(SkinRun(tool, folder, folder + L"\\source.bmp", output)));
  // A name given relative to the tool's folder is looked at there.
  DeleteFileW((folder + L"\\rel.bmp").c_str());
  CHECK(finish(ToolRun{tool, BuildCommandLine(tool, {L"pal2", L"source.bmp", L"rel.bmp"}), folder, L"rel.bmp"}));
}

TEST(runs, an_output_kept_in_the_virtual_store_of_a_protected_folder_counts_as_written) {
  // A virtualized tool asked to write into a protected folder writes into its VirtualStore twin
  // instead: here the tool is simply told the twin's path, as virtualization would redirect it.
  const std::wstring folder = check::ScratchFolder(L"protected"), twin = check::ScratchFolder(L"its twin");
  const std::wstring tool = PlaceTool(folder, L"makeskin.exe");
  check::WriteFile(folder + L"\\source.bmp", "BM");
  const std::wstring output = folder + L"\\p.larmor.bmp", kept = twin + L"\\p.larmor.bmp";
  Harness h;
  auto run = [&] {
    ToolRun virtualized = SkinRun(tool, folder, folder + L"\\source.bmp", kept);
    virtualized.output = output;
    auto results = h.Start(virtualized);
    REQUIRE(check::PumpUntil([&] { return results->Done(); }));
    return results->Last();
  };
  CHECK(!run().outputWritten);  // a folder Windows does not protect: only the folder itself counts
  h.launcher->SetVirtualStore(folder, twin);
  const ToolResult result = run();
  CHECK(result.outputWritten);
  CHECK_EQ(result.writtenTo, kept);
  CHECK(!check::FileExists(output));
}

// A skin saved deep in the user's folders, past MAX_PATH.
TEST(runs, output_deeper_than_max_path) {
  const std::wstring folder = check::ScratchFolder(L"deep");
  const std::wstring tool = PlaceTool(folder, L"makeskin.exe");
  check::WriteFile(folder + L"\\source.bmp", "BM");
  std::wstring deep = folder;
  while (deep.size() < 300) {
    deep += L"\\a folder with a rather long name";
    REQUIRE(CreateDirectoryW((L"\\\\?\\" + deep).c_str(), nullptr));
  }
  const std::wstring output = deep + L"\\skin.larmor.bmp";
  Harness h;
  const ToolRun run = SkinRun(tool, folder, folder + L"\\source.bmp", output);
  auto results = h.Start(run);
  REQUIRE(check::PumpUntil([&] { return results->Done(); }));
  CHECK_EQ(results->Last().exitCode, DWORD{0});
  CHECK(results->Last().outputWritten);
  {
    Fault fault(L"nooutput");
    results = h.Start(run);
    REQUIRE(check::PumpUntil([&] { return results->Done(); }));
  }
  CHECK_EQ(results->Last().exitCode, DWORD{0});
  CHECK(!results->Last().outputWritten);
}

// ---- Which runs wait for which -------------------------------------------------------

TEST(queue, runs_on_one_output_take_turns_others_overlap) {
  const std::wstring folder = check::ScratchFolder(L"turns");
  const std::wstring tool = PlaceTool(folder, L"makeskin.exe");
  check::WriteFile(folder + L"\\source.bmp", "BM");
  const std::wstring skin = folder + L"\\p.larmor.bmp";
  const std::wstring other = folder + L"\\q.larmor.bmp";
  Harness h;
  Fault fault(L"delay=700");
  auto first = h.Start(SkinRun(tool, folder, folder + L"\\source.bmp", skin));
  // The same file, as another part of the program may spell it.
  auto second = h.Start(SkinRun(tool, folder, folder + L"\\source.bmp", folder + L"\\.\\P.LARMOR.BMP"));
  auto third = h.Start(SkinRun(tool, folder, folder + L"\\source.bmp", other));
  CHECK(!h.launcher->Idle());
  REQUIRE(check::PumpUntil([&] { return first->Done() && second->Done() && third->Done(); }));
  CHECK(h.launcher->Idle());
  CHECK(first->firstAt <= second->firstAt);
  for (const auto& r : {first, second, third}) CHECK_EQ(r->Last().exitCode, DWORD{0});

  const auto runs = check::ReadStandinLog(LogOf(tool));
  REQUIRE(runs.size() == 3u);
  const auto* a = FindRun(runs, skin);
  const auto* b = FindRun(runs, folder + L"\\.\\P.LARMOR.BMP");
  const auto* c = FindRun(runs, other);
  REQUIRE(a && b && c);
  // The second started only after the first had ended (its delay alone takes 700 ms);
  // the third, on another file, ran alongside the first.
  CHECK(b->startTime >= a->startTime + 700 * kTicksPerMs);
  CHECK(b->startTime >= first->firstAt);
  CHECK(c->startTime < a->startTime + 700 * kTicksPerMs);
  CHECK(c->startTime < first->firstAt);
}

TEST(queue, hung_tool_holds_up_only_its_own_output) {
  const std::wstring folder = check::ScratchFolder(L"hung");
  const std::wstring tool = PlaceTool(folder, L"makeskin.exe");
  check::WriteFile(folder + L"\\source.bmp", "BM");
  const std::wstring stuck = folder + L"\\stuck.bmp";
  // Should a check stop the case early, the "hung" tool still goes with it.
  struct Cleanup {
    std::wstring tool;
    ~Cleanup() { EndLeftoverTools(tool, 1); }
  } cleanup{tool};
  Harness h;
  std::shared_ptr<Results> hung;
  {
    Fault fault(L"delay=30000");
    hung = h.Start(SkinRun(tool, folder, folder + L"\\source.bmp", stuck));
  }
  auto behind = h.Start(SkinRun(tool, folder, folder + L"\\source.bmp", stuck));
  auto free1 = h.Start(SkinRun(tool, folder, folder + L"\\source.bmp", folder + L"\\free1.bmp"));
  auto free2 = h.Start(SkinRun(tool, folder, folder + L"\\source.bmp", folder + L"\\free2.bmp"));
  CHECK(check::PumpUntil([&] { return free1->Done() && free2->Done(); }));
  check::Pump(300);
  CHECK(!hung->Done());
  CHECK(!behind->Done());
  CHECK_EQ(check::ReadStandinLog(LogOf(tool)).size(), size_t{2});

  // However the hung run ends (here: ended from outside), the one behind it goes next.
  CHECK_EQ(EndLeftoverTools(tool, 77), 1);
  REQUIRE(check::PumpUntil([&] { return hung->Done() && behind->Done(); }));
  CHECK_EQ(hung->Last().status, ToolResult::kExited);
  CHECK_EQ(hung->Last().exitCode, DWORD{77});
  CHECK(!hung->Last().outputWritten);
  CHECK_EQ(behind->Last().exitCode, DWORD{0});
  CHECK(behind->Last().outputWritten);
  CHECK(h.launcher->Idle());
}

TEST(queue, tools_outlive_the_launcher) {
  const std::wstring folder = check::ScratchFolder(L"outlive");
  const std::wstring tool = PlaceTool(folder, L"makeskin.exe");
  check::WriteFile(folder + L"\\source.bmp", "BM");
  const std::wstring output = folder + L"\\made.bmp";
  auto h = std::make_unique<Harness>();
  std::shared_ptr<Results> running, queued;
  {
    Fault fault(L"delay=800");
    running = h->Start(SkinRun(tool, folder, folder + L"\\source.bmp", output));
    queued = h->Start(SkinRun(tool, folder, folder + L"\\source.bmp", output));
  }
  check::Pump(100);
  h.reset();  // Quorvane closes while the tool works
  const auto runs = WaitForLog(tool, 1);
  REQUIRE(runs.size() == 1u);
  CHECK_EQ(runs[0].exitCode, 0);
  CHECK(check::FileExists(output));
  // Nobody is told any more, and the queued run is dropped with the launcher.
  check::Pump(600);
  CHECK(running->calls.empty());
  CHECK(queued->calls.empty());
  CHECK_EQ(check::ReadStandinLog(LogOf(tool)).size(), size_t{1});
}

}  // namespace
