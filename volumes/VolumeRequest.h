// The Volumes page's request: pack one picked BMP into a new volume named by a prefix, or
// into an existing volume picked from a list; and the New/Existing switch.
#pragma once

#include <string>

#include "app/QuorvaneCode.h"
#include "services/Prompt.h"
#include "services/ToolLauncher.h"

namespace quorvane {

// What the request reads from the window when it runs.
class VolumesView {
 public:
  virtual ~VolumesView() = default;
  virtual bool NewVolumeSelected() const = 0;       // Option9, "New Volume"
  virtual bool ExistingVolumeSelected() const = 0;  // Option10, "Existing Volume"
  virtual std::wstring PrefixText() const = 0;      // Text2
  // The New/Existing switch: which inputs can be used.
  virtual void EnablePrefix(bool enabled) = 0;       // Text2
  virtual void EnableVolumePane(bool enabled) = 0;   // Dir3 and File3
};

class VolumeRequest {
 public:
  VolumeRequest(QuorvaneCode& state, VolumesView& view, Prompts& prompts, ToolLauncher& launcher)
      : state_(state), view_(view), prompts_(prompts), launcher_(launcher) {}

  void Command4_Click();   // "Continue"
  void Option9_Click();    // "New Volume": the prefix box, not the volume pane
  void Option10_Click();   // "Existing Volume": the volume pane, not the prefix box

 private:
  QuorvaneCode& state_;
  VolumesView& view_;
  Prompts& prompts_;
  ToolLauncher& launcher_;
};

}  // namespace quorvane
