// The program folder as Windows shows it to the game and its tools. Games often sit under
// "Program Files", which Windows protects: a program that is not elevated cannot write there.
// Old programs without a manifest, as the game's tools likely are, are virtualized instead:
// what they write lands in the folder's VirtualStore twin, where they (and the game) find it
// again. Quorvane has a manifest, so it sees only the real folder: it must look in the twin
// itself.
#pragma once

#include <windows.h>

#include <string>

#include "app/FolderListing.h"
#include "services/WinError.h"

namespace quorvane {

struct ProgramFolder {
  std::wstring real;  // the program folder, trimmed
  std::wstring twin;  // its VirtualStore twin, there or not yet; empty where Windows has none
};

// The program folder of `appDir`, with its twin on this system (in the current user's local
// application data) where it is a folder that Windows virtualizes.
ProgramFolder FindProgramFolder(const std::wstring& appDir);

// Whether Quorvane can create files in `folder`: a probe file made there and deleted as it
// closes, so that nothing is left behind. Fails with the system's reason when it cannot.
Outcome ProbeNewFiles(const std::wstring& folder);

// Whether the file at `path` is gone for the game and its tools: the system finds it neither
// in the folder's twin, where it is a file of the folder, nor where it is. A path the system
// cannot look at for another reason does not count as gone.
bool FileGone(const ProgramFolder& folder, const std::wstring& path);

// The warning, once per run, for a program folder that Windows protects.
std::wstring ProtectedFolderWarning(const ProgramFolder& folder, DWORD error);

// The disk as the game sees the program folder: its files and those of its twin, as one list.
// A file of the twin keeps the real folder's path in the list (the virtualized tools find it
// there); Readable gives where Quorvane itself, not virtualized, opens what they would read.
class ProgramFolderReader final : public FolderReader {
 public:
  explicit ProgramFolderReader(const FolderReader& disk) : disk_(disk) {}
  // Set before the first read, never after: workers read it.
  void Set(ProgramFolder folder) { folder_ = std::move(folder); }
  const ProgramFolder& Folder() const { return folder_; }

  FolderChain Chain(const std::wstring& wanted, const std::wstring& root) const override {
    return disk_.Chain(wanted, root);
  }
  NameList Files(const std::wstring& folder, const std::wstring& pattern) const override;
  bool Exists(const std::wstring& folder) const override { return disk_.Exists(folder); }

  // `names`, read from the program folder, with the twin's that `pattern` admits.
  NameList WithTwin(NameList names, std::wstring_view pattern) const;
  // The path at which Quorvane opens `path`: its twin's when it is a file of the program
  // folder that the twin has (Windows reads the twin's copy first), else `path`.
  std::wstring Readable(const std::wstring& path) const;

 private:
  const FolderReader& disk_;
  ProgramFolder folder_;
};

}  // namespace quorvane
