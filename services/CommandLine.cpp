#include "services/CommandLine.h"

#include <cstddef>

namespace quorvane {

std::wstring QuoteArgument(const std::wstring& argument) {
  // The C run times and CommandLineToArgvW agree on everything below but one thing: what ""
  // inside quotes means (the old msvcrt leaves the quotes there, the current one does not).
  // Writing each embedded quote as \" keeps every one of them on the same reading.
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) return argument;

  std::wstring quoted;
  quoted.reserve(argument.size() + 2);
  quoted += L'"';
  for (std::size_t i = 0;; ++i) {
    // Backslashes are literal unless a quote follows them, so they are only counted here
    // and written once it is known what comes after them.
    std::size_t backslashes = 0;
    while (i < argument.size() && argument[i] == L'\\') {
      ++backslashes;
      ++i;
    }
    if (i == argument.size()) {
      // Before the closing quote: doubled, so that the quote still closes.
      quoted.append(backslashes * 2, L'\\');
      break;
    }
    if (argument[i] == L'"') {
      // Before an embedded quote: doubled, plus one that makes the quote literal.
      quoted.append(backslashes * 2 + 1, L'\\');
    } else {
      quoted.append(backslashes, L'\\');
    }
    quoted += argument[i];
  }
  quoted += L'"';
  return quoted;
}

std::wstring BuildCommandLine(const std::wstring& program, const std::vector<std::wstring>& arguments) {
  // Every parser reads the program name on its own rule (up to the next quote, backslashes
  // included), so it is quoted as it stands: a blank in the game's folder cannot split it.
  std::wstring line = L"\"" + program + L"\"";
  for (const std::wstring& argument : arguments) {
    line += L' ';
    line += QuoteArgument(argument);
  }
  return line;
}

}  // namespace quorvane
