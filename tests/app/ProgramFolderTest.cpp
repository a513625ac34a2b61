// The program folder: where Quorvane runs from, whether it takes new files, and its lists
// read together with the folder Windows keeps its virtual store in, on the disk.
#include <string>
#include <vector>

#include "app/ProgramFolder.h"
#include "app/QuorvaneCode.h"
#include "tests/support/check.h"

using namespace quorvane;

TEST(programfolder, the_folder_quorvane_runs_from_ends_in_one_backslash) {
  CHECK_EQ(AppDirFromFolder(L"C:\\Games\\Pack"), L"C:\\Games\\Pack\\");
  CHECK_EQ(AppDirFromFolder(L"D:\\"), L"D:\\");
  CHECK_EQ(AppDirFromFolder(L"\\\\server\\share\\games"), L"\\\\server\\share\\games\\");

  QuorvaneCode state;
  REQUIRE(ResolveAppDir(state));
  CHECK_EQ(state.AppDir, check::ProgramFolder());
}

TEST(programfolder, a_program_folder_windows_protects_is_told_and_its_virtual_store_listed_with_it) {
  // Z:\proc takes no new file, as a folder Windows protects; a folder of the test's does, and
  // keeps nothing of the probe.
  CHECK(!ProbeNewFiles(L"Z:\\proc"));
  const std::wstring real = check::ScratchFolder(L"program"), twin = check::ScratchFolder(L"program twin");
  CHECK(ProbeNewFiles(real));
  CHECK(check::NamesIn(real).empty());
  const ProgramFolder folder{real, twin};
  CHECK(ProtectedFolderWarning(folder, ERROR_ACCESS_DENIED).find(twin) != std::wstring::npos);
  CHECK(ProtectedFolderWarning({real, L""}, ERROR_ACCESS_DENIED).find(L"VirtualStore") == std::wstring::npos);

  // Its lists show the twin's files too, each once whatever its name's case; the twin's copy is read first.
  for (const wchar_t* name : {L"\\a.bmp", L"\\both.bmp", L"\\c.vol", L"\\red.bmp"}) check::WriteFile(real + name, "BM");
  for (const wchar_t* name : {L"\\b.bmp", L"\\both.bmp", L"\\z.txt", L"\\RED.BMP"}) check::WriteFile(twin + name, "BM");
  ProgramFolderReader reader(DiskReader());
  reader.Set(folder);
  CHECK_EQ(reader.Files(real, L"*.bmp").names, (std::vector<std::wstring>{L"a.bmp", L"b.bmp", L"both.bmp", L"red.bmp"}));
  CHECK_EQ(reader.Files(twin, L"*.bmp").names, (std::vector<std::wstring>{L"b.bmp", L"both.bmp", L"RED.BMP"}));
  CHECK_EQ(reader.Readable(real + L"\\b.bmp"), twin + L"\\b.bmp");
  CHECK_EQ(reader.Readable(real + L"\\both.bmp"), twin + L"\\both.bmp");
  CHECK_EQ(reader.Readable(real + L"\\gone.bmp"), real + L"\\gone.bmp");
  check::RemoveTree(real);
  check::RemoveTree(twin);
}
