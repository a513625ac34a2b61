#include "volumes/VolumeRequest.h"

#include "services/GameTools.h"

namespace quorvane {
namespace {

constexpr const wchar_t* kNoPrefix = L"You must enter a prefix in order to complete this operation..!";
constexpr const wchar_t* kNoVolume = L"You must select a volume file in order to complete this operation..!";
constexpr const wchar_t* kNoSkin = L"You must select a skin file in order to complete this operation..!";

}  // namespace

void VolumeRequest::Warn(const std::wstring& text) {
  state_.Answer = static_cast<std::int16_t>(prompts_.ShowPrompt(text, kOops, kWarning));
}

void VolumeRequest::Option9_Click() {
  view_.EnablePrefix(true);
  view_.EnableVolumePane(false);
}

void VolumeRequest::Option10_Click() {
  view_.EnablePrefix(false);
  view_.EnableVolumePane(true);
}

void VolumeRequest::Command4_Click() {
  state_.VolumesOk = kTrue;
  // Read once: the same text is checked and used, whatever happens to the box meanwhile.
  const std::wstring prefix = view_.PrefixText();
  const bool newVolume = view_.NewVolumeSelected();
  const bool existingVolume = view_.ExistingVolumeSelected();

  if (newVolume) {
    if (prefix.empty()) {
      Warn(kNoPrefix);
      state_.VolumesOk = kFalse;
    } else if (!PrefixFitsFileName(prefix)) {
      Warn(kBadPrefixWarning);
      state_.VolumesOk = kFalse;
    } else if (PrefixNamesDevice(prefix)) {
      Warn(kDevicePrefixWarning);
      state_.VolumesOk = kFalse;
    } else if (prefix.size() > LongestPrefix(L".vol")) {
      Warn(LongPrefixWarning(LongestPrefix(L".vol")));
      state_.VolumesOk = kFalse;
    }
  }
  if (existingVolume && state_.VolumeFile.empty()) {
    Warn(kNoVolume);
    state_.VolumesOk = kFalse;
  }
  if (state_.VolumeSkinFile.empty()) {
    Warn(kNoSkin);
    state_.VolumesOk = kFalse;
  }
  if (state_.VolumesOk != kTrue) return;

  std::wstring volume;
  if (newVolume)
    volume = state_.AppDir + prefix + L".vol";
  else if (existingVolume)
    volume = state_.VolumeFile;
  else
    return;  // neither kind selected: nothing to pack into
  const std::wstring skin = state_.VolumeSkinFile;
  const ToolRun run = VolumeToolRun(state_.AppDir, volume, skin);
  state_.CommandLine = run.commandLine;
  launcher_.StartTool(run, [this, run, skin](const ToolResult& result) {
    if (std::wstring warning = VolumeToolWarning(run, result, skin); !warning.empty()) Warn(warning);
  });
}

}  // namespace quorvane
