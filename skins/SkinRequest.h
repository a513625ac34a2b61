// The Skins page's request: from the option buttons, the picked BMP and the prefix to the
// skin maker's command line, and the follow-up that packs the new skin into a volume.
#pragma once

#include <string>

#include "app/QuorvaneCode.h"
#include "services/Prompt.h"
#include "services/ToolLauncher.h"

namespace quorvane {

// What the request reads from the window when it runs: the eight option buttons.
class SkinsView {
 public:
  virtual ~SkinsView() = default;
  // Whether OptionN is selected; n from 1 (pal1) to 8 (harmor).
  virtual bool OptionSelected(int n) const = 0;
};

class SkinRequest {
 public:
  SkinRequest(QuorvaneCode& state, const SkinsView& view, Prompts& prompts, ToolLauncher& launcher)
      : state_(state), view_(view), prompts_(prompts), launcher_(launcher) {}

  // The prefix box's change event: Prefix becomes the box's whole text, unchanged.
  void Text1_Change(const std::wstring& text);
  // "Continue": every check, each failing one with its warning; then the skin maker.
  void Command1_Click();

 private:
  // What a started skin-maker run was asked to make; the follow-up is about this skin even
  // when the user has changed the page while the skin maker was working.
  struct SkinJob {
    std::wstring prefix;
    std::wstring skinName;  // the prefix and the armor file's name, as it is named in a volume
    std::wstring output;  // full path of the new skin in AppDir
    std::wstring source;  // the picked picture
  };
  void SkinMakerDone(const SkinJob& job, const ToolRun& run, const ToolResult& result);
  void AddSkinToVolume(const SkinJob& job);

  QuorvaneCode& state_;
  const SkinsView& view_;
  Prompts& prompts_;
  ToolLauncher& launcher_;
};

}  // namespace quorvane
