#include "tests/reliability/Session.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cwctype>

#include "app/QuorvaneCode.h"
#include "tests/support/check.h"

using namespace quorvane;
using namespace quorvane::ui;

namespace reliability {
namespace {

constexpr const wchar_t* kArmors[] = {L"larmor.bmp", L"lfemale.bmp", L"marmor.bmp", L"mfemale.bmp",
                                      L"harmor.bmp"};

// The prefix check, written from the rules and not from the program's code: the test's oracle.
// Whether it must refuse a prefix: a character that Windows refuses in file names or a
// control character.
bool PrefixBreaksRule(const std::wstring& prefix) {
  for (wchar_t c : prefix) {
    if (c < 0x20 || (c >= 0x7f && c <= 0x9f)) return true;  // C0, DEL and C1 controls
    if (std::wstring_view(L"\\/:*?\"<>|").find(c) != std::wstring_view::npos) return true;
  }
  return false;
}

// Whether a file name made from the prefix names a device: Windows takes CON, PRN, AUX, NUL,
// COM0 to COM9 and LPT0 to LPT9 (and COM and LPT with a superscript 1, 2 or 3), and the
// console's CONIN$ and CONOUT$, in any case, also before an extension, with trailing blanks
// and dots dropped.
bool NamesDevice(const std::wstring& prefix) {
  std::wstring base = prefix.substr(0, prefix.find(L'.'));
  while (!base.empty() && (base.back() == L' ' || base.back() == L'.')) base.pop_back();
  for (wchar_t& c : base) c = static_cast<wchar_t>(std::towupper(c));
  for (const wchar_t* device : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"})
    if (base == device) return true;
  return base.size() == 4 && (base.rfind(L"COM", 0) == 0 || base.rfind(L"LPT", 0) == 0) &&
         std::wstring_view(L"0123456789\u00b9\u00b2\u00b3").find(base[3]) != std::wstring_view::npos;
}

// The warning the prefix check owes a prefix on either page, when a file name made from it
// may hold at most `longest` of its characters; none for a prefix it must pass.
std::wstring PrefixWarning(const std::wstring& prefix, size_t longest) {
  if (prefix.empty()) return check::kNoPrefix;
  if (PrefixBreaksRule(prefix)) return check::kBadPrefix;
  if (NamesDevice(prefix)) return check::kDevicePrefix;
  return prefix.size() > longest ? check::LongPrefix(longest) : L"";
}

std::string ShowArgs(const Args& args) { return check::Show(args); }

size_t CountNotIn(const Args& actual, const Args& expected) {
  size_t n = 0;
  for (const std::wstring& a : actual)
    if (std::find(expected.begin(), expected.end(), a) == expected.end()) ++n;
  return n;
}

}  // namespace

void PrintTally(const char* what, const Tally& t) {
  std::printf(
      "  %s: %zu runs, %zu exact; splits %zu, injected %zu, altered %zu, joined %zu, missing %zu, "
      "unexpected %zu\n",
      what, t.runs, t.exact, t.splits, t.injected, t.altered, t.joined, t.missing, t.unexpected);
}

UserSession::UserSession() : appDir_(check::GameFolder()) {
  check::CleanGameFolder(/*keepScratch=*/true);
  // The stand-ins say what they did on the output they inherit; thousands of runs would bury
  // the test's own report. Their logs tell everything. (This program's C run time keeps the
  // output it started with.)
  savedOutput_ = GetStdHandle(STD_OUTPUT_HANDLE);
  savedError_ = GetStdHandle(STD_ERROR_HANDLE);
  const HANDLE nul = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
  if (nul != INVALID_HANDLE_VALUE) {
    SetStdHandle(STD_OUTPUT_HANDLE, nul);
    SetStdHandle(STD_ERROR_HANDLE, nul);
  }

  window_ = std::make_unique<check::OpenWindow>();
  Pump();
}

UserSession::~UserSession() {
  boxes_.answers.clear();
  const HANDLE nul = GetStdHandle(STD_OUTPUT_HANDLE);
  SetStdHandle(STD_OUTPUT_HANDLE, savedOutput_);
  SetStdHandle(STD_ERROR_HANDLE, savedError_);
  if (nul != savedOutput_ && nul != nullptr && nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
  const bool idle = window_->window.ToolsIdle();
  window_.reset();
  if (idle) check::CleanGameFolder(/*keepScratch=*/true);
}

void UserSession::Fail(const char* file, int line, const std::string& what) {
  ++failures_;
  check::Fail(file, line, what);
}

void UserSession::AnswerSuccessWith(std::function<int()> answer) {
  Review();
  successAnswer_ = std::move(answer);
  boxes_.answers.clear();
  answersGiven_.clear();
  TopUpAnswers();
}

void UserSession::TopUpAnswers() {
  while (boxes_.answers.size() < 64) {
    const int answer = successAnswer_();
    boxes_.answers.push_back(answer);
    answersGiven_.push_back(answer);
  }
}

void UserSession::Pump(DWORD ms) {
  TopUpAnswers();
  check::Pump(ms);
  Review();
}

size_t UserSession::Outstanding() const { return expected_.size(); }

void UserSession::Expect(Tool tool, Args args) { expected_.push_back({tool, std::move(args), origin}); }

void UserSession::Review() {
  for (; reviewed_ < boxes_.seen.size(); ++reviewed_) {
    const check::SeenBox& box = boxes_.seen[reviewed_];
    if ((box.style & MB_TYPEMASK) == MB_YESNO) {
      if (answersGiven_.empty()) {
        Fail(__FILE__, __LINE__, origin + ": a question with no answer ready: " + check::Show(box.text));
        continue;
      }
      const int answer = answersGiven_.front();
      answersGiven_.pop_front();
      if (box.title == L"Confirm Exit") {
        if (!expectingExit_ || answer != IDNO)
          Fail(__FILE__, __LINE__, origin + ": the exit question came unasked, or was not answered No");
        expectingExit_ = false;
        continue;
      }
      auto job =
          std::find_if(jobs_.begin(), jobs_.end(), [&](const Job& j) { return j.question == box.text; });
      if (box.title != L"Success" || box.style != (MB_YESNO | MB_ICONINFORMATION) || job == jobs_.end()) {
        Fail(__FILE__, __LINE__,
             origin + ": a question no skin called for: " + check::Show(box.title) + " " +
                 check::Show(box.text));
        continue;
      }
      if (answer == IDYES) {
        ++successYes;
        const std::string saved = origin;
        origin = job->origin + " (its skin packed after Yes)";
        Expect(kVolumeTool, job->volumeArgs);
        origin = saved;
      } else {
        ++successNo;
      }
      ++askedFor_[job->question];
      jobs_.erase(job);
      continue;
    }
    // Warnings outside a click come from a tool's end.
    ++toolWarnings;
    const size_t colon = box.text.rfind(L": ");
    std::wstring kind = box.text.rfind(L"The skin ", 0) == 0   ? L"skin not made: "
                        : box.text.rfind(L"The file ", 0) == 0 ? L"file not added: "
                                                               : L"";
    kind += colon == std::wstring::npos ? box.text : box.text.substr(colon + 2);
    ++toolWarningKinds[kind];
    if (printToolWarnings) std::printf("  warning: %s\n", check::Show(box.text.substr(0, 240)).c_str());
    if (box.title != L"Oops..!" || box.style != (MB_OK | MB_ICONEXCLAMATION) || box.text.rfind(L"The ", 0) != 0)
      Fail(__FILE__, __LINE__, origin + ": an unexpected message: " + check::Show(box.text));
  }
}

void UserSession::ShowPage(int page) {
  window_->showPage(page);
  Pump();
}

bool UserSession::ClickContinue(ControlId button, const char* what, const std::vector<check::SeenBox>& want) {
  const size_t before = boxes_.seen.size();
  check::Click((*window_)[button]);
  const std::vector<check::SeenBox> shown(boxes_.seen.begin() + static_cast<std::ptrdiff_t>(before),
                                          boxes_.seen.end());
  reviewed_ = boxes_.seen.size();
  checkWarnings += shown.size();
  if (shown != want)
    Fail(__FILE__, __LINE__,
         origin + ": " + what + " showed\n      " + check::Show(shown) + "\n      wanted " + check::Show(want));
  return want.empty();
}

bool UserSession::ContinueSkins(const SkinsInputs& in) {
  Pump();
  std::vector<check::SeenBox> want;
  auto warn = [&](const std::wstring& text) { want.push_back(check::Warning(text)); };
  if (in.palette == 0) warn(check::kNoPalette);
  if (in.armor == 0) warn(check::kNoArmor);
  if (in.skinFile.empty()) warn(check::kNoSkin);
  // The skin's name is the prefix, a dot and the armor's file name ("?.bmp" without one).
  const size_t rest = in.armor == 0 ? 4 : 1 + wcslen(kArmors[in.armor - 1]);
  if (const std::wstring w = PrefixWarning(in.prefix, 255 - rest); !w.empty()) warn(w);

  if (!ClickContinue(kCommand1, "the Skins page's Continue", want)) return false;

  const std::wstring armor = kArmors[in.armor - 1];
  const std::wstring skinName = in.prefix + L"." + armor;
  Expect(kSkinMaker,
         {appDir_ + L"makeskin.exe", L"pal" + std::to_wstring(in.palette), in.skinFile, appDir_ + skinName});
  jobs_.push_back({L"Add " + skinName + L" to " + in.prefix + L".vol?",
                   {appDir_ + L"vt.exe", L"-sp", appDir_ + in.prefix + L".vol", skinName},
                   origin});
  madeWanted_.push_back({appDir_ + skinName, jobs_.back().question});
  return true;
}

bool UserSession::ContinueVolumes(const VolumesInputs& in) {
  Pump();
  std::vector<check::SeenBox> want;
  auto warn = [&](const std::wstring& text) { want.push_back(check::Warning(text)); };
  if (in.newVolume) {
    if (const std::wstring w = PrefixWarning(in.prefix, 255 - 4); !w.empty()) warn(w);  // "<prefix>.vol"
  } else if (in.volumeFile.empty()) {
    warn(check::kNoVolumeFile);
  }
  if (in.skinFile.empty()) warn(check::kNoSkinFile);

  if (!ClickContinue(kCommand4, "the Volumes page's Continue", want)) return false;
  Expect(kVolumeTool, {appDir_ + L"vt.exe", L"-sp",
                       in.newVolume ? appDir_ + in.prefix + L".vol" : in.volumeFile, in.skinFile});
  return true;
}

void UserSession::ExitAnsweredNo(ControlId button) {
  Pump();
  boxes_.answers.push_front(IDNO);
  answersGiven_.push_front(IDNO);
  expectingExit_ = true;
  const size_t before = boxes_.seen.size();
  check::Click((*window_)[button]);
  Review();
  const std::vector<check::SeenBox> shown(boxes_.seen.begin() + static_cast<std::ptrdiff_t>(before),
                                          boxes_.seen.end());
  const std::vector<check::SeenBox> want{check::ExitQuestion()};
  if (shown != want || expectingExit_)
    Fail(__FILE__, __LINE__, origin + ": Exit showed " + check::Show(shown));
  expectingExit_ = false;
  if (window_->hwnd() == nullptr || state().Answer != IDNO)
    check::Abort(__FILE__, __LINE__, origin + ": Exit answered No did not leave the window as it was");
}

bool UserSession::Settle(DWORD timeoutMs) {
  const ULONGLONG start = GetTickCount64();
  const bool idle = check::PumpUntil(
      [this] {
        Review();
        TopUpAnswers();
        return window_->window.ToolsIdle();
      },
      timeoutMs);
  Review();
  settleMs += GetTickCount64() - start;
  if (!idle) {
    Fail(__FILE__, __LINE__, origin + ": the tools did not finish in time");
    return false;
  }
  Collect(kSkinMaker);
  Collect(kVolumeTool);
  for (const Expected& e : expected_) {
    ++tallies_[e.tool].missing;
    // Whether the run happened all the same tells a lost log block from a run never started.
    const std::wstring& output = e.tool == kSkinMaker ? e.args[3] : e.args[2];
    const DWORD attributes = GetFileAttributesW(LongForm(output).c_str());
    std::printf("  the missing run's output %s %s\n", check::Show(output.substr(0, 200)).c_str(),
                attributes == INVALID_FILE_ATTRIBUTES ? "is not there" : "is there");
    Fail(__FILE__, __LINE__,
         e.origin + ": this run never came: " + (e.tool == kSkinMaker ? "makeskin " : "vt ") +
             ShowArgs(e.args));
  }
  expected_.clear();
  // Every skin made must have been offered for packing, once.
  for (const auto& [question, made] : madeCount_) {
    const size_t asked = askedFor_[question];
    if (asked != made)
      Fail(__FILE__, __LINE__,
           origin + ": " + std::to_string(made) + " skin(s) made but " + std::to_string(asked) +
               " question(s) asked: " + check::Show(question));
  }
  for (const auto& [question, asked] : askedFor_)
    if (asked != 0 && madeCount_.find(question) == madeCount_.end())
      Fail(__FILE__, __LINE__, origin + ": asked to pack a skin that was not made: " + check::Show(question));
  madeCount_.clear();
  askedFor_.clear();
  madeWanted_.clear();
  jobs_.clear();
  return true;
}

void UserSession::Collect(Tool tool) {
  const std::wstring log = appDir_ + (tool == kSkinMaker ? L"makeskin.log" : L"vt.log");
  Tally& tally = tallies_[tool];
  for (const check::StandinRun& run : check::ReadStandinLog(log)) {
    ++tally.runs;
    auto match = std::find_if(expected_.begin(), expected_.end(),
                              [&](const Expected& e) { return e.tool == tool && e.args == run.crtArgs; });
    if (match == expected_.end()) {
      // Held against the expected run of this tool it shares most arguments with.
      size_t best = 0;
      for (auto e = expected_.begin(); e != expected_.end(); ++e) {
        if (e->tool != tool) continue;
        size_t common = 0;
        for (const std::wstring& a : run.crtArgs) common += std::count(e->args.begin(), e->args.end(), a);
        if (match == expected_.end() || common > best) {
          match = e;
          best = common;
        }
      }
    }
    if (match == expected_.end()) {
      ++tally.unexpected;
      Fail(__FILE__, __LINE__,
           origin + ": a run nobody asked for: " + check::Utf8(run.commandLine) + " -> " +
               ShowArgs(run.crtArgs));
      continue;
    }
    bool split = false, alteredRun = false, joinedRun = false;
    size_t injected = 0;
    const Args& want = match->args;
    for (const Args* got : {&run.crtArgs, &run.shellArgs, &run.ucrtArgs}) {
      if (got == &run.ucrtArgs && got->empty()) continue;  // not logged where ucrtbase.dll is missing
      if (*got == want) continue;
      if (got->size() > want.size()) {
        split = true;
        injected = std::max(injected, CountNotIn(*got, want));
      } else if (got->size() < want.size()) {
        joinedRun = true;
      } else {
        alteredRun = true;
      }
    }
    if (split || alteredRun || joinedRun) {
      tally.splits += split;
      tally.injected += injected;
      tally.altered += alteredRun;
      tally.joined += joinedRun;
      Fail(__FILE__, __LINE__,
           match->origin + ": " + (tool == kSkinMaker ? "makeskin" : "vt") + " was given\n      crt   " +
               ShowArgs(run.crtArgs) + "\n      shell " + ShowArgs(run.shellArgs) + "\n      ucrt  " +
               ShowArgs(run.ucrtArgs) + "\n      wanted " + ShowArgs(want) + "\n      command line " +
               check::Show(run.commandLine));
    } else {
      ++tally.exact;
    }
    if (tool == kSkinMaker && run.exitCode == 0 && want.size() == 4 &&
        run.message.rfind(L"made " + want[3] + L" from ", 0) == 0) {
      // The stand-in wrote exactly the skin asked for: Quorvane must offer to pack it.
      for (const auto& [output, question] : madeWanted_)
        if (output == want[3]) {
          ++madeCount_[question];
          break;
        }
    }
    expected_.erase(match);
  }
  // Emptied rather than deleted: a deleted file lingers, pending, while any handle to it is
  // still open somewhere, and a stand-in that comes to append meanwhile is turned away.
  const HANDLE file =
      CreateFileW(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    if (GetLastError() != ERROR_FILE_NOT_FOUND) Fail(__FILE__, __LINE__, "cannot open " + check::Utf8(log));
    return;
  }
  if (!SetEndOfFile(file)) Fail(__FILE__, __LINE__, "cannot empty " + check::Utf8(log));
  CloseHandle(file);
}

FolderModel::FolderModel(const std::wstring& folder) {
  std::wstring path = folder;
  if (path.size() > 3 && path.back() == L'\\') path.pop_back();
  root_ = path.substr(0, 3);  // "Z:\\": the test's folders all live on a drive
  size_t at = 3;
  while (at < path.size()) {
    size_t slash = path.find(L'\\', at);
    if (slash == std::wstring::npos) slash = path.size();
    names_.push_back(path.substr(at, slash - at));
    at = slash + 1;
  }
}

std::wstring FolderModel::ChainPath(size_t index) const {
  std::wstring path = root_;
  for (size_t i = 0; i < index && i < names_.size(); ++i) path += (i == 0 ? L"" : L"\\") + names_[i];
  return path;
}

std::wstring FolderModel::Path() const { return ChainPath(names_.size()); }

void FolderModel::Open(size_t index, const std::wstring& text) {
  if (index <= names_.size())
    names_.resize(index);
  else
    names_.push_back(text);
}

bool FolderModel::Matches(const std::vector<std::wstring>& lines, std::string& why) const {
  if (lines.size() <= names_.size()) {
    why = "the list has " + std::to_string(lines.size()) + " lines, the chain " +
          std::to_string(names_.size() + 1);
    return false;
  }
  if (lines[0] != root_) {
    why = "line 0 is " + check::Show(lines[0]) + ", not the root " + check::Show(root_);
    return false;
  }
  for (size_t i = 0; i < names_.size(); ++i) {
    if (lines[i + 1] != names_[i]) {
      why = "line " + std::to_string(i + 1) + " is " + check::Show(lines[i + 1]) + ", not " +
            check::Show(names_[i]);
      return false;
    }
  }
  return true;
}

void OpenFolderLine(UserSession& session, ControlId list, FolderModel& model, size_t index) {
  const HWND control = session[list];
  const std::vector<std::wstring> before = check::Items(control);
  check::Open(control, static_cast<int>(index));
  model.Open(index, index < before.size() ? before[index] : std::wstring());
  session.Pump();
  std::string why;
  if (!model.Matches(check::Items(control), why))
    session.Fail(__FILE__, __LINE__,
                 session.origin + ": after opening line " + std::to_string(index) + " " +
                     check::Show(index < before.size() ? before[index] : L"?") + ", " + why);
  if (check::Selection(control) != static_cast<int>(model.CurrentIndex()))
    session.Fail(__FILE__, __LINE__, session.origin + ": the current folder's line is not the selected one");
}

bool NavigateTo(UserSession& session, ControlId list, FolderModel& model, const std::wstring& target) {
  for (int step = 0; step < 64 && model.Path() != target; ++step) {
    const std::wstring here = model.Path();
    const std::wstring below = here.back() == L'\\' ? here : here + L"\\";
    if (target.rfind(below, 0) == 0) {
      const std::wstring rest = target.substr(below.size());
      const std::wstring name = rest.substr(0, rest.find(L'\\'));
      const int line = check::IndexOf(session[list], name, static_cast<int>(model.CurrentIndex()) + 1);
      if (line < 0) {
        session.Fail(__FILE__, __LINE__,
                     session.origin + ": no line " + check::Show(name) + " below " + check::Show(here));
        return false;
      }
      OpenFolderLine(session, list, model, static_cast<size_t>(line));
    } else {
      size_t up = model.CurrentIndex();
      while (up > 0) {
        --up;
        const std::wstring ancestor = model.ChainPath(up);
        if (target == ancestor ||
            target.rfind(ancestor.back() == L'\\' ? ancestor : ancestor + L"\\", 0) == 0)
          break;
      }
      OpenFolderLine(session, list, model, up);
    }
  }
  return model.Path() == target;
}

}  // namespace reliability
