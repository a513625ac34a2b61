#include "volumes/VolumeRequest.h"

#include "services/GameTools.h"

namespace quorvane {
namespace {

constexpr const wchar_t* kNoVolume = L"You must select a volume file in order to complete this operation..!";
constexpr const wchar_t* kNoSkin = L"You must select a skin file in order to complete this operation..!";

}  // namespace

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

  // Every check that fails warns, in this order, and the volume tool is not started.
  const auto refuse = [this](const std::wstring& warning) {
    if (warning.empty()) return;
    Warn(prompts_, state_, warning);
    state_.VolumesOk = kFalse;
  };
  if (newVolume) refuse(PrefixWarning(prefix, L".vol"));
  if (existingVolume && state_.VolumeFile.empty()) refuse(kNoVolume);
  if (state_.VolumeSkinFile.empty()) refuse(kNoSkin);
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
    if (std::wstring warning = VolumeToolWarning(run, result, skin); !warning.empty()) Warn(prompts_, state_, warning);
  });
}

}  // namespace quorvane
