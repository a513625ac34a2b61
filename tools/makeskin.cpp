// Stand-in for the game's makeskin.exe (PALETTE SOURCE OUTPUT). The real tool turns a BMP
// picture into a skin bitmap in one of three palettes; this one checks its arguments the
// same way and copies SOURCE to OUTPUT, which is all that Quorvane can observe.
#include <windows.h>

#include <string>
#include <vector>

#include "services/WinError.h"
#include "tools/standin.h"

namespace {

using standin::Outcome;

Outcome MakeSkin(const std::vector<std::wstring>& arguments) {
  if (arguments.size() != 3)
    return {standin::kExitUsage,
            L"expected 3 arguments (PALETTE SOURCE OUTPUT), got " + std::to_wstring(arguments.size())};
  const std::wstring& palette = arguments[0];
  if (palette != L"pal1" && palette != L"pal2" && palette != L"pal3")
    return {standin::kExitUsage, L"unknown palette \"" + palette + L"\" (pal1, pal2 or pal3)"};

  const std::wstring source = standin::FullPath(arguments[1]);
  if (source.empty())
    return {standin::kExitFailed,
            quorvane::LastErrorText(L"cannot resolve the source \"" + arguments[1] + L"\"")};
  const std::wstring output = standin::FullPath(arguments[2]);
  if (output.empty())
    return {standin::kExitWrite,
            quorvane::LastErrorText(L"cannot resolve the output \"" + arguments[2] + L"\"")};

  // A missing source and an unwritable output are different mistakes: tell them apart.
  const DWORD attributes = GetFileAttributesW(standin::ForFileApi(source).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES)
    return {standin::kExitFailed, quorvane::LastErrorText(L"cannot read the source " + source)};
  if (attributes & FILE_ATTRIBUTE_DIRECTORY)
    return {standin::kExitFailed, L"the source " + source + L" is a folder"};

  if (!CopyFileW(standin::ForFileApi(source).c_str(), standin::ForFileApi(output).c_str(), FALSE))
    return {standin::kExitWrite, quorvane::LastErrorText(L"cannot write " + output)};
  return {standin::kExitOk, L"made " + output + L" from " + source + L" with " + palette};
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const unsigned long long start = standin::Now();
  const standin::Tool tool{L"makeskin", L"MAKESKIN_FAULT", L"makeskin pal1|pal2|pal3 SOURCE OUTPUT"};
  return standin::Run(tool, start, argc, argv, MakeSkin);
}
