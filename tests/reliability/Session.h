// What both reliability suites share: the real main window driven as the program's message
// loop drives it, real message boxes answered from a script, and a watch over the stand-in
// tools that holds every run to the arguments the user's choices call for.
//
// Each "Continue" is clicked through ContinueSkins or ContinueVolumes with the inputs the
// test believes the window holds. The click must show exactly the warnings those inputs call
// for; when there are none, a tool run with exactly the arguments they call for is
// expected. The skin maker's "Success" question is answered from a script, and a Yes expects
// the volume tool's run for that skin. Settle waits for the tools and matches every logged
// run, argument by argument and as each parser splits it, against what was expected.
#pragma once

#include <windows.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/main_window.h"

namespace reliability {

using check::Args;

using check::LongForm;
using check::MakeFile;
using check::MakeFolder;
using check::NamesIn;
using check::RemoveTree;

// How the runs of one kind compared with what was expected.
struct Tally {
  size_t runs = 0;        // runs logged
  size_t exact = 0;       // every parser gave exactly the expected arguments
  size_t splits = 0;      // a parser gave more arguments than expected: one was cut up
  size_t injected = 0;    // arguments that no expected argument accounts for
  size_t altered = 0;     // as many arguments as expected, but not the same text
  size_t joined = 0;      // fewer arguments than expected: two ran together
  size_t missing = 0;     // expected runs that never came
  size_t unexpected = 0;  // runs nobody asked for
};

// The inputs of the Skins page's "Continue", as the test believes the window holds them.
struct SkinsInputs {
  int palette = 0;  // 1..3 for Option1..Option3; 0: none selected
  int armor = 0;    // 1..5 for Option4..Option8; 0: none selected
  std::wstring skinFile;
  std::wstring prefix;
};

// The inputs of the Volumes page's "Continue".
struct VolumesInputs {
  bool newVolume = true;  // Option9; false: Option10 ("Existing Volume")
  std::wstring prefix;    // Text2
  std::wstring volumeFile;
  std::wstring skinFile;
};

class UserSession {
 public:
  // Clears the program folder of logs, skins and volumes, then opens the window.
  UserSession();
  ~UserSession();
  UserSession(const UserSession&) = delete;
  UserSession& operator=(const UserSession&) = delete;

  check::OpenWindow& window() { return *window_; }
  HWND operator[](quorvane::ui::ControlId id) const { return (*window_)[id]; }
  const quorvane::QuorvaneCode& state() const { return window_->state(); }
  const std::wstring& appDir() const { return appDir_; }

  // Records a failed check (through the harness) and counts it.
  void Fail(const char* file, int line, const std::string& what);
  size_t failures() const { return failures_; }

  // Where failures are said to come from ("seed 1 action 17: ..."); set before each action.
  std::string origin;

  // How the "Success" questions are answered from now on: the function gives IDYES or IDNO
  // (Yes until this is called).
  void AnswerSuccessWith(std::function<int()> answer);

  // Handles whatever messages are waiting, then what the message boxes shown meanwhile
  // mean for the tools.
  void Pump(DWORD ms = 0);
  // Waits until every tool started has ended and its follow-up has been handled, then
  // matches the logged runs against the expected ones. False when the tools did not finish.
  bool Settle(DWORD timeoutMs = 120000);
  // Runs expected and not yet matched.
  size_t Outstanding() const;
  bool Responsive() const { return window_->responsive(); }

  void ShowPage(int page);
  // Clicks "Continue" and checks the warnings; true when a tool run was expected.
  bool ContinueSkins(const SkinsInputs& inputs);
  bool ContinueVolumes(const VolumesInputs& inputs);
  // Clicks "Exit" (Command3 or Command6) and answers No.
  void ExitAnsweredNo(quorvane::ui::ControlId button);

  // Message boxes seen, by kind.
  size_t checkWarnings = 0;  // the requests' own checks, at the click
  size_t toolWarnings = 0;   // what a tool's end had to say
  size_t successYes = 0, successNo = 0;
  unsigned long long settleMs = 0;  // time spent waiting for the tools
  const Tally& skinMakerTally() const { return tallies_[0]; }
  const Tally& volumeToolTally() const { return tallies_[1]; }
  // Whether each tool warning is printed as it comes (for a report of what the tools made of
  // hostile input).
  bool printToolWarnings = false;
  // The tool warnings, counted by their first words (for the report).
  std::map<std::wstring, size_t> toolWarningKinds;

 private:
  enum Tool { kSkinMaker, kVolumeTool };
  struct Expected {
    Tool tool;
    Args args;
    std::string origin;
  };
  struct Job {  // a skin whose "Success" question may come
    std::wstring question;
    Args volumeArgs;
    std::string origin;
  };

  void Review();
  // Clicks a "Continue" and checks that it showed exactly `want`; true when that is nothing.
  bool ClickContinue(quorvane::ui::ControlId button, const char* what, const std::vector<check::SeenBox>& want);
  void Expect(Tool tool, Args args);
  void Collect(Tool tool);
  void TopUpAnswers();

  std::function<int()> successAnswer_ = [] { return IDYES; };
  HANDLE savedOutput_ = nullptr, savedError_ = nullptr;
  std::unique_ptr<check::OpenWindow> window_;  // opened once the folder is clean
  std::wstring appDir_;
  check::MessageBoxAnswerer boxes_;
  std::deque<int> answersGiven_;  // mirrors boxes_.answers
  size_t reviewed_ = 0;           // boxes_.seen handled so far
  bool expectingExit_ = false;
  size_t failures_ = 0;
  std::vector<Expected> expected_;
  std::vector<Job> jobs_;
  // Skins the stand-in made exactly where asked, and the "Success" questions asked, by
  // question: every skin made is offered for packing once.
  std::vector<std::pair<std::wstring, std::wstring>> madeWanted_;  // output path, question
  std::map<std::wstring, size_t> madeCount_, askedFor_;
  Tally tallies_[2];
};

// What a folder list should show, kept by the test from the lines it opens: the root, the
// folders from it down to the current one, and then the current one's subfolders.
class FolderModel {
 public:
  explicit FolderModel(const std::wstring& folder);  // a full path
  // The current folder: "Z:\" for the root, else without a trailing "\".
  std::wstring Path() const;
  // The current folder's line: the root is line 0, each folder below it one more.
  size_t CurrentIndex() const { return names_.size(); }
  // Line `index` opened; `text` is its text (a subfolder's name when below the current line).
  void Open(size_t index, const std::wstring& text);
  // The path of line `index` of the chain (index <= CurrentIndex()).
  std::wstring ChainPath(size_t index) const;
  // Whether the list's lines begin with this chain; `why` says where they do not.
  bool Matches(const std::vector<std::wstring>& lines, std::string& why) const;

 private:
  std::wstring root_;  // "Z:\"
  std::vector<std::wstring> names_;
};

// Opens line `index` of a folder list as a double-click does and moves the model with it;
// checks that the list then shows the model's chain with the current line selected.
void OpenFolderLine(UserSession& session, quorvane::ui::ControlId list, FolderModel& model, size_t index);
// Opens lines, up and down, until the list's current folder is `target`. False (with the
// failure recorded) when a line on the way is not there.
bool NavigateTo(UserSession& session, quorvane::ui::ControlId list, FolderModel& model,
                const std::wstring& target);

// Prints a tally as one line, for the test's report.
void PrintTally(const char* what, const Tally& tally);

}  // namespace reliability
