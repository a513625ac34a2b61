#include "services/GameTools.h"

#include "services/CommandLine.h"

namespace quorvane {
namespace {

ToolRun Run(const std::wstring& appDir, const wchar_t* tool, const std::vector<std::wstring>& arguments,
            const std::wstring& output) {
  ToolRun run;
  run.application = appDir + tool;
  run.commandLine = BuildCommandLine(run.application, arguments);
  run.workingFolder = appDir;
  run.output = output;
  return run;
}

}  // namespace

ToolRun SkinMakerRun(const std::wstring& appDir, const std::wstring& palette, const std::wstring& source,
                     const std::wstring& output) {
  return Run(appDir, L"makeskin.exe", {palette, source, output}, output);
}

ToolRun VolumeToolRun(const std::wstring& appDir, const std::wstring& volume, const std::wstring& file) {
  return Run(appDir, L"vt.exe", {L"-sp", volume, file}, volume);
}

std::wstring VolumeToolWarning(const ToolRun& run, const ToolResult& result, const std::wstring& file) {
  if (result.status != ToolResult::kExited) return DescribeLaunchFailure(run, result);
  const std::wstring notAdded = L"The file " + file + L" was not added to " + run.output + L": vt.exe ended ";
  if (result.exitCode != 0) return notAdded + L"with code " + DescribeExitCode(result.exitCode) + L"..!";
  // Adding a file always changes the volume: a volume left as it was means nothing was added,
  // however the tool ended.
  if (!result.outputWritten) return notAdded + L"without writing it..!";
  return {};
}

}  // namespace quorvane
