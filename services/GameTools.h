// The game's two tools as Quorvane starts them: both live in the program folder and are
// started from there.
#pragma once

#include <string>

#include "services/ToolLauncher.h"

namespace quorvane {

// makeskin.exe PALETTE SOURCE OUTPUT: writes the skin made from SOURCE to OUTPUT.
ToolRun SkinMakerRun(const std::wstring& appDir, const std::wstring& palette, const std::wstring& source,
                     const std::wstring& output);

// vt.exe -sp VOLUME FILE: adds FILE (a path, or a name in the program folder) to VOLUME,
// creating the volume when it does not exist yet.
ToolRun VolumeToolRun(const std::wstring& appDir, const std::wstring& volume, const std::wstring& file);

// The warning for a volume-tool run that did not add the file, ending in "..!"; empty when
// the run succeeded.
std::wstring VolumeToolWarning(const ToolRun& run, const ToolResult& result, const std::wstring& file);

}  // namespace quorvane
