// Text that users type as prefixes and give their files and folders, chosen because each
// kind has broken a command line, a file name or a list somewhere: blanks where they are
// not expected, quotes and the backslashes before them, the shell's special characters,
// control characters that arrive with a paste, very long text, characters outside the
// Basic Multilingual Plane, right-to-left and combining text, the device names that Windows
// reserves and names ending in a dot. The window tests try every entry both as a prefix and
// as a name; the command-line tests hand every entry to a tool as one argument.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace hostile {

struct Entry {
  const char* label;  // what the entry is, for reports (its text may not print)
  std::wstring text;
};

inline std::wstring Repeat(const std::wstring& piece, size_t length) {
  std::wstring text;
  while (text.size() < length) text += piece;
  text.resize(length);
  return text;
}

inline const std::vector<Entry>& Corpus() {
  static const std::vector<Entry> entries = {
      {"plain", L"plain"},
      {"accented", L"\u00fcn\u00efc\u00f6d\u00e9 caf\u00e9"},
      {"two words", L"two words"},
      {"empty", L""},
      {"one blank", L" "},
      {"three blanks", L"   "},
      {"leading blank", L" leading"},
      {"trailing blank", L"trailing "},
      {"blanks both ends", L"  both  "},
      {"ideographic and no-break spaces", L"\u3000ideo\u00a0nbsp"},
      {"one quote", L"\""},
      {"two quotes", L"\"\""},
      {"quote at the end", L"end\""},
      {"quote at the start", L"\"start"},
      {"quoted words", L"say \"hi\" now"},
      {"quoted whole", L"\"quoted\""},
      {"backslash before quote", L"a\\\"b"},
      {"two backslashes before quote", L"a\\\\\"b"},
      {"two backslashes and a quote at the end", L"a\\\\\""},
      {"eight backslashes and a quote", L"\\\\\\\\\\\\\\\\\""},
      {"backslashes before a blank, a quote and the end", L"x\\\\\\\\\\ \"y\\\\\"\\\\"},
      {"trailing backslash", L"trail\\"},
      {"folder with a blank and a trailing backslash", L"C:\\Game Folder\\"},
      {"network share", L"\\\\server\\share\\"},
      {"network share with a blank", L"\\\\server\\my share\\skins\\"},
      {"one backslash", L"\\"},
      {"two backslashes", L"\\\\"},
      {"backslashes only", L"\\\\\\"},
      {"backslashes inside", L"a\\\\b c"},
      {"percent", L"100%"},
      {"environment variable", L"%PATH%"},
      {"carets", L"^up^"},
      {"ampersand", L"salt&pepper"},
      {"pipe", L"this|that"},
      {"angle brackets", L"<tag>"},
      {"redirection", L"a > b"},
      {"all shell specials", L"&|<>^%!"},
      {"shell specials between blanks", L"a & b | c < d > e ^ f"},
      {"exclamation marks", L"!wow!"},
      {"parentheses and semicolon", L"(x);y,z=1"},
      {"tab inside", L"tab\there"},
      {"tab only", L"\t"},
      {"vertical tab", L"vertical\vtab"},
      {"pasted line break", L"first line\r\nsecond line"},
      {"pasted newline", L"first\nsecond"},
      {"line break only", L"\r\n"},
      {"DEL and C1 control",
       L"del\x7f"
       L"c1\x85"},
      {"32000 characters", Repeat(L"long prefix ", 32000)},
      {"250 characters", Repeat(L"name", 250)},
      {"surrogate pairs", L"\xD83D\xDE00 face \xD834\xDD1E clef"},
      {"surrogate pair only", L"\xD83C\xDFAE"},
      {"right-to-left words", L"\u05e9\u05dc\u05d5\u05dd \u05e2\u05d5\u05dc\u05dd"},
      {"right-to-left override", L"\u202Egnp.exe\u202C"},
      {"arabic with digits", L"\u0645\u0631\u062d\u0628\u0627 123"},
      {"combining marks", L"e\u0301\u0302\u0303 cafe\u0301"},
      {"zero-width characters", L"zero\u200Bwidth\uFEFF"},
      {"CJK", L"\u65e5\u672c\u8a9e \u30c6\u30b9\u30c8"},
      {"reserved CON", L"CON"},
      {"reserved nul", L"nul"},
      {"reserved AUX", L"AUX"},
      {"reserved PRN", L"PRN"},
      {"reserved COM1", L"COM1"},
      {"reserved LPT1", L"LPT1"},
      {"reserved with extension", L"CON.txt"},
      {"trailing dot", L"dotted."},
      {"trailing dots", L"dots..."},
      {"dot", L"."},
      {"two dots", L".."},
      {"trailing dot and blank", L"odd. "},
      {"option-like dash", L"-sp"},
      {"option-like slash", L"/c"},
      {"double dash", L"--"},
      {"dash", L"-"},
      {"single quotes", L"'single'"},
      {"colon", L"a:b"},
      {"wildcards", L"a*b?c"},
      {"slash", L"a/b"},
  };
  return entries;
}

// The entries' texts no longer than `longest`: all that fit together on one command line
// (at most 32,767 characters) when given a small limit.
inline std::vector<std::wstring> Texts(size_t longest = static_cast<size_t>(-1)) {
  std::vector<std::wstring> texts;
  for (const Entry& entry : Corpus())
    if (entry.text.size() <= longest) texts.push_back(entry.text);
  return texts;
}

}  // namespace hostile
