// Turning the system's error codes into sentences a user can read.
#pragma once

#include <windows.h>

#include <string>

namespace quorvane {

// What a call that can fail gives back when it has nothing else to give: ERROR_SUCCESS, or the
// system's code for why it failed, as the results that do give something carry it in `error`.
struct Outcome {
  DWORD error = ERROR_SUCCESS;
  explicit operator bool() const { return error == ERROR_SUCCESS; }
};

// The system's own description of an error code, without the trailing full stop and line
// break, e.g. "The system cannot find the file specified". Never empty.
std::wstring SystemMessage(DWORD code);

// "<what>: <system message>" for the calling thread's last error.
std::wstring LastErrorText(const std::wstring& what);

// The warning for a file or folder that cannot be opened: "Unable to open PATH: REASON..!".
std::wstring UnableToOpen(const std::wstring& path, DWORD error);

}  // namespace quorvane
