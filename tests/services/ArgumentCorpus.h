// Arguments that users' file names, prefixes and folders can hold and that have broken
// command lines before: each must reach a tool as exactly one, identical argument.
#pragma once

#include <string>
#include <vector>

namespace corpus {

inline std::vector<std::wstring> HostileArguments() {
  return {
      L"plain",
      L"two words",
      L" leading blank",
      L"trailing blank ",
      L"",
      L" ",
      L"  ",
      L"\"",
      L"\"\"",
      L"say \"hi\" now",
      L"\"quoted whole\"",
      L"a\\\"b",                       // a\"b
      L"a\\\\\"",                      // a\\"
      L"trailing\\",                   // a folder as users type it
      L"C:\\Game Folder\\",            // blank and trailing backslash: the classic split
      L"\\\\server\\share\\",
      L"\\\\server\\my share\\skins\\",
      L"\\",
      L"\\\\",
      L"\\\\\\\\\\\\\\\\\"",           // eight backslashes, then a quote
      L"x\\\\\\\\\\ \"y\\\\\"\\\\",    // backslashes before a blank, a quote and the end
      L"a\\\\b\\c d",
      L"tab\there",
      L"\t",
      L"line\nbreak",
      L"vertical\vtab",
      L"\u00fcn\u00efc\u00f6d\u00e9 caf\u00e9",
      L"\u65e5\u672c\u8a9e \u30c6\u30ad\u30b9\u30c8",
      L"\xD83D\xDE00 face and \xD834\xDD1E clef",  // characters outside the BMP: surrogate pairs
      L"\u05e9\u05dc\u05d5\u05dd \u05e2\u05d5\u05dc\u05dd",  // right-to-left text
      L"\u202Eevil\u202C.bmp",         // a right-to-left override inside a name
      L"\u3000ideographic\u00a0space",
      L"-sp",
      L"--",
      L"-",
      L"/c",
      L"%PATH%",
      L"100%",
      L"^&|<>",
      L"a & b | c < d > e ^ f",
      L"'single quoted'",
      L"end\"",
      L"\"start",
  };
}

}  // namespace corpus
