#include "skins/SkinRequest.h"

#include <array>

#include "app/ProgramFolder.h"
#include "services/GameTools.h"

namespace quorvane {
namespace {

struct Choice {
  const wchar_t* text;  // what the option sets
  const wchar_t* name;  // the argument or file-name part it stands for
};
// Option1..Option3: the palette, with one blank on each side as the program has always
// kept it; the skin maker is given the bare name.
constexpr std::array<Choice, 3> kPalettes{{{L" pal1 ", L"pal1"}, {L" pal2 ", L"pal2"}, {L" pal3 ", L"pal3"}}};
// Option4..Option8: the armor file-name ending.
constexpr std::array<const wchar_t*, 5> kArmors{L"larmor.bmp", L"lfemale.bmp", L"marmor.bmp",
                                                L"mfemale.bmp", L"harmor.bmp"};

constexpr const wchar_t* kNoPalette = L"You must select a palette in order to complete this operation..!";
constexpr const wchar_t* kNoArmor = L"You must select an armor in order to complete this operation..!";
constexpr const wchar_t* kNoSkin = L"You must select a skin in order to complete this operation..!";

// Which of `count` options from OptionN `first` on is selected first: its place among them, or
// -1 when none is.
int FirstSelected(const SkinsView& view, int first, size_t count) {
  for (int i = 0; i < static_cast<int>(count); ++i)
    if (view.OptionSelected(first + i)) return i;
  return -1;
}

}  // namespace

void SkinRequest::Text1_Change(const std::wstring& text) { state_.Prefix = text; }

void SkinRequest::Command1_Click() {
  state_.SkinsOk = kTrue;

  // Every check that fails warns, in this order, and the skin maker is not started.
  const auto refuse = [this](const std::wstring& warning) {
    if (warning.empty()) return;
    Warn(prompts_, state_, warning);
    state_.SkinsOk = kFalse;
  };
  const int palette = FirstSelected(view_, 1, kPalettes.size());
  if (palette >= 0)
    state_.PaletteArg = kPalettes[static_cast<size_t>(palette)].text;
  else
    refuse(kNoPalette);
  const int armor = FirstSelected(view_, 4, kArmors.size());
  if (armor >= 0)
    state_.ArmorFile = kArmors[static_cast<size_t>(armor)];
  else
    refuse(kNoArmor);
  if (state_.SkinFile.empty()) refuse(kNoSkin);
  refuse(PrefixWarning(state_.Prefix, armor >= 0 ? L"." + state_.ArmorFile : L".vol"));
  if (state_.SkinsOk != kTrue) return;

  const std::wstring skinName = state_.Prefix + L"." + state_.ArmorFile;
  SkinJob job{state_.Prefix, skinName, state_.AppDir + skinName, state_.SkinFile};
  const ToolRun run =
      SkinMakerRun(state_.AppDir, kPalettes[static_cast<size_t>(palette)].name, state_.SkinFile, job.output);
  state_.CommandLine = run.commandLine;
  launcher_.StartTool(run, [this, job, run](const ToolResult& result) { SkinMakerDone(job, run, result); });
}

void SkinRequest::SkinMakerDone(const SkinJob& job, const ToolRun& run, const ToolResult& result) {
  if (result.status != ToolResult::kExited) {
    Warn(prompts_, state_, DescribeLaunchFailure(run, result));
    return;
  }
  if (result.exitCode != 0 || !result.outputWritten) {
    // The picture went to the skin maker as it was picked, there or not; gone by now, it is
    // the likely reason, and the player is told.
    const std::wstring gone = FileGone(FindProgramFolder(state_.AppDir), job.source)
                                  ? L". The picked picture " + job.source + L" is no longer there"
                                  : L"";
    Warn(prompts_, state_, L"The skin " + job.output + L" was not made: makeskin.exe ended " +
         (result.exitCode != 0 ? L"with code " + DescribeExitCode(result.exitCode) : L"without writing it") +
         gone + L"..!");
    return;
  }
  // Written where Windows keeps a virtualized tool's files for a protected folder: the game and
  // the tools find it there, and the player is told where it really is.
  const std::wstring where =
      SamePath(result.writtenTo, job.output) || result.writtenTo.empty()
          ? L""
          : L"Windows keeps " + job.skinName + L" for this folder as " + result.writtenTo + L". ";
  state_.Answer = static_cast<std::int16_t>(prompts_.ShowPrompt(
      where + L"Add " + job.skinName + L" to " + job.prefix + L".vol?", L"Success", kFollowUpQuestion));
  if (state_.Answer == kAnswerYes) AddSkinToVolume(job);
}

void SkinRequest::AddSkinToVolume(const SkinJob& job) {
  // The skin is named without a folder: the volume tool finds it in its working folder, the
  // program folder, where the skin maker wrote it.
  const ToolRun run = VolumeToolRun(state_.AppDir, state_.AppDir + job.prefix + L".vol", job.skinName);
  state_.CommandLine = run.commandLine;
  launcher_.StartTool(run, [this, run, skin = job.skinName](const ToolResult& result) {
    if (std::wstring warning = VolumeToolWarning(run, result, skin); !warning.empty())
      Warn(prompts_, state_, warning);
  });
}

}  // namespace quorvane
