// What the stand-ins for the game's tools (makeskin.exe, vt.exe) share: the run log that the
// tests read, the fault directives that make a run fail on purpose, and the path and console
// helpers both tools need.
//
// Each run appends one block to "<tool>.log" beside the tool's executable (format in
// tests/support/standin_log.h, which parses it). The block is written whatever happens, just
// before the tool exits.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace standin {

// Exit codes. Faults on purpose use the codes they are given.
inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 1;             // wrong arguments
inline constexpr int kExitFailed = 2;            // the input could not be read / does not exist
inline constexpr int kExitWrite = 3;             // the output could not be written
inline constexpr int kExitBadFault = 9;          // the fault variable holds something not understood
inline constexpr DWORD kCrashCode = 0xC0000005;  // what a crashed program ends with

// GetSystemTimePreciseAsFileTime where the system has it (Windows 8 on), else the coarser
// GetSystemTimeAsFileTime; as one 64-bit number of FILETIME units.
unsigned long long Now();

// How one run ended: the exit code and a one-line message for the log (and for the console
// when the run failed).
struct Outcome {
  int exitCode = kExitOk;
  std::wstring message;
};

struct Tool {
  const wchar_t* name;           // "makeskin": the log is makeskin.log, messages start "makeskin: "
  const wchar_t* faultVariable;  // "MAKESKIN_FAULT"
  const wchar_t* usage;          // printed after a usage error
};

// The tool's work, given the arguments after argv[0].
using Work = std::function<Outcome(const std::vector<std::wstring>& arguments)>;

// Runs one tool from its wmain: reads the fault directives, does the work unless a fault
// says otherwise, reports a failure on stderr, appends the log block and returns the exit
// code (or ends the process as a crash does). `start` is Now() taken first thing in wmain.
int Run(const Tool& tool, unsigned long long start, int argc, wchar_t** argv, const Work& work);

// The full path of `path` resolved against the working folder, as the user reads it; empty
// when it cannot be resolved (then GetLastError tells why).
std::wstring FullPath(const std::wstring& path);
// A full path in the form the file functions accept at any length: "\\?\" (or "\\?\UNC\")
// in front when it is too long for the plain form.
std::wstring ForFileApi(const std::wstring& fullPath);

// Writes a line (a line break is added) to stdout or stderr: as UTF-16 to a console, as
// UTF-8 to a pipe or file.
void Say(DWORD stdHandle, const std::wstring& line);

std::string Utf8(const std::wstring& text);

}  // namespace standin
