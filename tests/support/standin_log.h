// Reading what the stand-in game tools (tools/makeskin.cpp, tools/vt.cpp) record: the run
// log each keeps beside its executable ("makeskin.log", "vt.log") and the text volumes that
// the stand-in vt.exe writes.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace check {

// One run of a stand-in, as its log block tells it.
struct StandinRun {
  unsigned long long startTime = 0;  // FILETIME units (GetSystemTimePreciseAsFileTime)
  std::wstring commandLine;          // GetCommandLineW(), raw
  // The arguments, argv[0] included, as split by the tool's C run time, by
  // CommandLineToArgvW and by ucrtbase.dll; ucrtArgs is empty when it was not logged.
  std::vector<std::wstring> crtArgs, shellArgs, ucrtArgs;
  std::wstring workingFolder;
  unsigned long startupFlags = 0;  // STARTUPINFO dwFlags
  unsigned showWindow = 0;         // STARTUPINFO wShowWindow
  std::wstring fault;              // the fault directives in force, raw; empty when none
  int exitCode = 0;                // 0xC0000005 (a crash) reads as a negative int
  std::wstring message;
};

// Every complete block of the log, oldest first; empty when the file does not exist. A
// block cut short (a tool killed while writing) is left out. Control characters that the
// log writes as "<U+0009>" come back as themselves. Throws std::runtime_error when the file
// exists but cannot be read.
std::vector<StandinRun> ReadStandinLog(const std::wstring& path);

// One line of a stand-in volume: the file added (full path) and its size then.
struct VolumeEntry {
  std::wstring path;
  unsigned long long size = 0;
};

// The entries of a volume written by the stand-in vt.exe, in the order they were added;
// empty when the file does not exist. Throws std::runtime_error when it cannot be read.
std::vector<VolumeEntry> ReadStandinVolume(const std::wstring& path);

// Ends the processes this process started that are still running and whose executable (its
// full path) `is` accepts, each gone before this returns, so that nobody replaces or deletes a
// running executable; how many were ended. The launcher never ends a tool, but a test must not
// leave a "hung" stand-in behind it.
int EndStandins(const std::function<bool(const std::wstring& image)>& is, UINT exitCode);

}  // namespace check
