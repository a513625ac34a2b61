// Building command lines that every Windows program splits back into exactly the arguments
// it was given: the old and the current C run times and CommandLineToArgvW alike.
#pragma once

#include <string>
#include <vector>

namespace quorvane {

// One argument, quoted only when it must be: when it is empty or holds a blank, a tab, a
// line break or a quote. Inside quotes a quote is escaped with a backslash and the
// backslashes before a quote or before the closing quote are doubled; "" is never written.
std::wstring QuoteArgument(const std::wstring& argument);

// The program's path, always quoted (a path cannot hold a quote), then each argument
// quoted by QuoteArgument, separated by single blanks.
std::wstring BuildCommandLine(const std::wstring& program, const std::vector<std::wstring>& arguments);

}  // namespace quorvane
