// Command lines split back by CommandLineToArgvW in this process; the same corpus through
// real C run times is in ToolLauncherTest.cpp (it needs a child process).
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "services/CommandLine.h"
#include "tests/support/HostileCorpus.h"
#include "tests/support/check.h"

namespace {

using quorvane::BuildCommandLine;
using quorvane::QuoteArgument;

std::vector<std::wstring> ShellSplit(const std::wstring& commandLine) {
  int count = 0;
  wchar_t** argv = CommandLineToArgvW(commandLine.c_str(), &count);
  REQUIRE(argv != nullptr);
  std::vector<std::wstring> args(argv, argv + count);
  LocalFree(argv);
  return args;
}

// Whether every quote between the opening and the closing one is escaped (an odd number of
// backslashes before it). The old msvcrt and the ucrt read "" inside quotes differently,
// and only a line without it means the same to both.
bool OnlyEscapedQuotesInside(const std::wstring& quoted) {
  if (quoted.size() < 2 || quoted.front() != L'"' || quoted.back() != L'"') return false;
  size_t backslashes = 0;
  for (size_t i = 1; i + 1 < quoted.size(); ++i) {
    if (quoted[i] == L'\\') {
      ++backslashes;
      continue;
    }
    if (quoted[i] == L'"' && backslashes % 2 == 0) return false;
    backslashes = 0;
  }
  return backslashes % 2 == 0;  // the closing quote must not be escaped
}

TEST(commandline, hostile_arguments_split_back_unchanged) {
  const std::vector<std::wstring> args = hostile::Texts();
  const std::wstring program = L"C:\\Game Folder\\makeskin.exe";
  // All at once, and in reverse order, so that each argument is seen both before and after
  // others and a different one comes last.
  for (bool reversed : {false, true}) {
    std::vector<std::wstring> sent(args);
    if (reversed) sent.assign(args.rbegin(), args.rend());
    const std::vector<std::wstring> got = ShellSplit(BuildCommandLine(program, sent));
    REQUIRE(!got.empty());
    CHECK_EQ(got[0], program);
    CHECK_EQ(got.size(), sent.size() + 1);
    for (size_t i = 0; i < sent.size() && i + 1 < got.size(); ++i) CHECK_EQ(got[i + 1], sent[i]);
  }
  // Alone, as the last argument, where a trailing backslash meets the end of the line.
  for (const std::wstring& arg : args) {
    const std::vector<std::wstring> got = ShellSplit(BuildCommandLine(program, {arg}));
    CHECK_EQ(got.size(), size_t{2});
    if (got.size() == 2) CHECK_EQ(got[1], arg);
  }
}

TEST(commandline, quotes_are_never_doubled_inside_quotes) {
  for (const std::wstring& arg : hostile::Texts()) {
    const std::wstring quoted = QuoteArgument(arg);
    if (quoted == arg) continue;
    if (!OnlyEscapedQuotesInside(quoted))
      check::Fail(__FILE__, __LINE__, "unescaped quote inside " + check::Show(quoted));
  }
  CHECK_EQ(QuoteArgument(L"a\\\"b"), std::wstring(L"\"a\\\\\\\"b\""));  // a\"b -> "a\\\"b"
  CHECK_EQ(QuoteArgument(L"a\\\\\""), std::wstring(L"\"a\\\\\\\\\\\"\""));  // a\\" -> "a\\\\\""
  CHECK_EQ(QuoteArgument(L"\"\""), std::wstring(L"\"\\\"\\\"\""));
  CHECK_EQ(QuoteArgument(L"C:\\Game Folder\\"), std::wstring(L"\"C:\\Game Folder\\\\\""));
}

TEST(commandline, quoting_only_when_needed) {
  // What the game's tools have always been given stays as it was.
  for (const wchar_t* arg : {L"pal1", L"-sp", L"C:\\Game\\skins\\red.bmp", L"trailing\\", L"\\\\srv\\s\\x.vol",
                             L"\u00fcn\u00efc\u00f6d\u00e9", L"%PATH%", L"a&b"})
    CHECK_EQ(QuoteArgument(arg), std::wstring(arg));
  CHECK_EQ(QuoteArgument(L""), std::wstring(L"\"\""));
  for (const wchar_t* arg : {L"a b", L"a\tb", L"a\nb", L"a\vb", L"a\"b"}) CHECK(QuoteArgument(arg).front() == L'"');

  CHECK_EQ(BuildCommandLine(L"C:\\Game\\makeskin.exe", {L"pal1", L"C:\\My Skins\\red.bmp", L"C:\\Game\\p.larmor.bmp"}),
           std::wstring(L"\"C:\\Game\\makeskin.exe\" pal1 \"C:\\My Skins\\red.bmp\" C:\\Game\\p.larmor.bmp"));
  CHECK_EQ(BuildCommandLine(L"C:\\Game\\vt.exe", {}), std::wstring(L"\"C:\\Game\\vt.exe\""));
}

}  // namespace
