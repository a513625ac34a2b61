// The program-wide state kept between events.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "paths/PathRules.h"
#include "services/WinError.h"

namespace quorvane {

class Prompts;

// Flags hold -1 for true and 0 for false, and are only ever compared with -1.
using Flag = std::int16_t;
inline constexpr Flag kTrue = -1;
inline constexpr Flag kFalse = 0;

// One instance lives from start-up until the program ends; requests and panes write into it
// as the user picks and types, and read it when a "Continue" button is pressed.
struct QuorvaneCode {
  std::wstring SkinFile;        // full path of the BMP last clicked in File1
  std::wstring PaletteArg;      // " pal1 ", " pal2 " or " pal3 "
  std::wstring ArmorFile;       // "larmor.bmp", "lfemale.bmp", "marmor.bmp", "mfemale.bmp", "harmor.bmp"
  std::wstring Prefix;          // the text of the Skins prefix box
  std::wstring CommandLine;     // the exact text last handed to CreateProcessW
  Flag SkinsOk = kFalse;
  std::wstring VolumeFile;      // full path of the volume last clicked in File3
  std::wstring VolumeSkinFile;  // full path of the BMP last clicked in File2
  Flag VolumesOk = kFalse;
  std::int16_t Answer = 0;      // answer code of the last prompt shown
  std::wstring AppDir;          // folder of Quorvane's own executable, ending in "\"
};

// Sets AppDir from the folder of the running executable, of any length. Fails when the system
// cannot tell that folder; then AppDir is left empty.
Outcome ResolveAppDir(QuorvaneCode& state);

// AppDir from a folder path: the path itself when it ends in "\", else the path and "\".
std::wstring AppDirFromFolder(std::wstring folder);

// Every failed check's warning, titled "Oops..!"; the answer is recorded in Answer.
void Warn(Prompts& prompts, QuorvaneCode& state, const std::wstring& text);

// The warning for a prefix that names a device (PrefixNamesDevice), the same on both pages.
inline constexpr const wchar_t* kDevicePrefixWarning =
    L"You must enter a prefix that is not a device name (CON, PRN, AUX, NUL, COM1 to COM9, LPT1 to LPT9) in "
    L"order to complete this operation..!";

// The warning for a prefix longer than LongestPrefix allows, the same on both pages.
inline std::wstring LongPrefixWarning(size_t longest) {
  return L"You must enter a prefix of at most " + std::to_wstring(longest) +
         L" characters in order to complete this operation..!";
}

// What the player is told first about a prefix that cannot start a file name going on with
// `rest` (".larmor.bmp", ".vol"), the same on both pages; empty when it can.
std::wstring PrefixWarning(std::wstring_view prefix, std::wstring_view rest);

}  // namespace quorvane
