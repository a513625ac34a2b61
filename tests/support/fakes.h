// Stand-ins for the two services, for driving the requests without windows or processes:
// prompts answered from a script and recorded, tool runs recorded and finished by the test.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "services/Prompt.h"
#include "services/ToolLauncher.h"
#include "tests/support/check.h"
#include "tests/support/ui_driver.h"

namespace check {

// A prompt as the user would see it in its message box.
using Prompt = SeenBox;

class ScriptedPrompts : public quorvane::Prompts {
 public:
  // Answers to give to questions, in order; warnings are answered with OK.
  std::deque<int> answers;
  std::vector<Prompt> shown;

  int ShowPrompt(const std::wstring& text, const std::wstring& title, UINT style) override {
    shown.push_back({text, title, style});
    if ((style & MB_TYPEMASK) == MB_OK) return IDOK;
    if (answers.empty()) {
      Fail(__FILE__, __LINE__, "unexpected question: " + Show(text));
      return IDNO;
    }
    const int answer = answers.front();
    answers.pop_front();
    return answer;
  }
};

class RecordingLauncher : public quorvane::ToolLauncher {
 public:
  struct Started {
    quorvane::ToolRun run;
    quorvane::ToolDone done;
    bool finished = false;
  };
  std::vector<Started> runs;

  void StartTool(const quorvane::ToolRun& run, quorvane::ToolDone done) override {
    runs.push_back({run, std::move(done)});
  }
  // Ends run i the way a tool ends: exit code, and whether it wrote its output.
  void Finish(size_t i, DWORD exitCode = 0, bool outputWritten = true) {
    REQUIRE(i < runs.size());
    FinishWriting(i, outputWritten ? runs[i].run.output : L"", exitCode);
  }
  // Ends run i having written its output at `writtenTo` (its VirtualStore twin, say); nothing
  // when empty.
  void FinishWriting(size_t i, const std::wstring& writtenTo, DWORD exitCode = 0) {
    quorvane::ToolResult result;
    result.status = quorvane::ToolResult::kExited;
    result.exitCode = exitCode;
    result.outputWritten = !writtenTo.empty();
    result.writtenTo = writtenTo;
    End(i, result);
  }
  void End(size_t i, const quorvane::ToolResult& result) {
    REQUIRE(i < runs.size());
    REQUIRE(!runs[i].finished);
    runs[i].finished = true;
    runs[i].done(result);
  }
};

// A command line split back as Windows programs split it.
std::vector<std::wstring> SplitCommandLine(const std::wstring& commandLine);

}  // namespace check
