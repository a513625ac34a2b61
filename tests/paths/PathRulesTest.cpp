// The path rules: roots and parents of every form, the forms the system is handed, names
// joined, and where Windows keeps a protected folder's virtual store. Pure: no disk, so that
// forms a test machine cannot make (other drives, shares, "\\?\" roots) are covered too.
#include <string>

#include "paths/PathRules.h"
#include "tests/support/check.h"

using namespace quorvane;

TEST(paths, roots_and_parents_of_every_path_form) {
  const struct {
    const wchar_t *path, *root, *parent;
  } cases[] = {
      {L"C:\\Pics\\Sub", L"C:\\", L"C:\\Pics"},
      {L"C:\\Pics", L"C:\\", L"C:\\"},
      {L"c:\\", L"c:\\", L""},  // nothing above a root
      {L"\\\\server\\share\\a", L"\\\\server\\share\\", L"\\\\server\\share\\"},
      {L"\\\\server\\share", L"\\\\server\\share\\", L""},
      {L"\\\\?\\C:\\Games", L"\\\\?\\C:\\", L"\\\\?\\C:\\"},
      {L"\\\\?\\UNC\\server\\share\\a", L"\\\\?\\UNC\\server\\share\\", L"\\\\?\\UNC\\server\\share\\"},
      {L"\\\\?\\Volume{1234}\\Pics", L"\\\\?\\Volume{1234}\\", L"\\\\?\\Volume{1234}\\"},
      {L"Pics\\red", L"", L""},  // relative, drive-relative, a server without a share: no root
      {L"C:Pics", L"", L""},
      {L"\\\\server", L"", L""},
  };
  for (const auto& c : cases) {
    CHECK_EQ(RootOf(c.path), std::wstring(c.root));
    CHECK_EQ(ParentFolder(c.path), std::wstring(c.parent));
  }
  CHECK_EQ(TrimFolder(L"C:\\Pics\\\\"), std::wstring(L"C:\\Pics"));
  CHECK_EQ(TrimFolder(L"\\\\server\\share\\"), std::wstring(L"\\\\server\\share\\"));
  CHECK_EQ(NormalForm(L"\\\\?\\C:\\Games"), std::wstring(L"C:\\Games"));
  CHECK_EQ(NormalForm(L"\\\\?\\UNC\\server\\share\\a"), std::wstring(L"\\\\server\\share\\a"));
  CHECK_EQ(NormalForm(L"\\\\?\\Volume{1234}\\Pics"), std::wstring(L"\\\\?\\Volume{1234}\\Pics"));
}

TEST(paths, long_paths_and_trailing_dots_reach_the_system_in_the_long_form) {
  CHECK_EQ(SystemForm(L"C:\\Pics", 6), std::wstring(L"C:\\Pics"));
  const std::wstring nearly = L"C:\\" + std::wstring(250, L'a');  // 253 characters
  CHECK_EQ(SystemForm(nearly), nearly);
  CHECK_EQ(SystemForm(nearly, 7), L"\\\\?\\" + nearly);  // "\*.bmp" after it no longer fits
  const std::wstring share = std::wstring(260, L'x');
  CHECK_EQ(SystemForm(L"\\\\server\\share\\" + share), L"\\\\?\\UNC\\server\\share\\" + share);
  CHECK_EQ(SystemForm(L"C:\\odd.\\x"), std::wstring(L"\\\\?\\C:\\odd.\\x"));
  CHECK_EQ(SystemForm(L"C:\\odd \\x"), std::wstring(L"\\\\?\\C:\\odd \\x"));
  CHECK_EQ(SystemForm(L"\\\\?\\C:\\x"), std::wstring(L"\\\\?\\C:\\x"));
  CHECK_EQ(SystemForm(L"C:\\Game\\COM0.x\\y"), std::wstring(L"\\\\?\\C:\\Game\\COM0.x\\y"));
  // Full paths keep such names as they are spelt, for the launcher's output files as for the
  // lists' folders; only what there is to resolve is resolved.
  for (const wchar_t* kept : {L"C:\\Game\\odd.\\P.larmor.bmp", L"C:\\Game\\odd \\P.vol", L"C:\\Game\\CON\\x.bmp"})
    CHECK_EQ(FullPath(kept), std::wstring(kept));
  CHECK_EQ(FullPath(L"c:\\Game\\pics\\..\\P.vol"), std::wstring(L"C:\\Game\\P.vol"));
}

TEST(paths, a_name_joins_its_folder_with_one_backslash_and_a_twin_mirrors_a_protected_folder) {
  CHECK_EQ(JoinPath(L"C:\\Pics", L"red.bmp"), L"C:\\Pics\\red.bmp");
  CHECK_EQ(JoinPath(L"C:\\", L"red.bmp"), L"C:\\red.bmp");
  CHECK_EQ(JoinPath(L"c:\\", L"red.bmp"), L"c:\\red.bmp");
  CHECK_EQ(JoinPath(L"D:\\", L"red.bmp"), L"D:\\red.bmp");
  CHECK_EQ(JoinPath(L"\\\\server\\share\\", L"red.bmp"), L"\\\\server\\share\\red.bmp");
  CHECK_EQ(JoinPath(L"C:\\My Pics", L"r\u00e9d \u03b1.bmp"), L"C:\\My Pics\\r\u00e9d \u03b1.bmp");

  // Where Windows keeps what virtualized programs write into a folder: only in those it protects.
  const wchar_t* local = L"C:\\Users\\p\\AppData\\Local";
  const std::wstring protectedFolders[] = {L"C:\\Program Files", L"C:\\Program Files (x86)\\", L"", L"C:\\Windows"};
  const struct {
    const wchar_t *folder, *twin;
  } twins[] = {
      {L"C:\\Program Files (x86)\\Game", L"C:\\Users\\p\\AppData\\Local\\VirtualStore\\Program Files (x86)\\Game"},
      {L"c:\\Program Files\\Game\\", L"C:\\Users\\p\\AppData\\Local\\VirtualStore\\Program Files\\Game"},
      {L"C:\\Windows", L"C:\\Users\\p\\AppData\\Local\\VirtualStore\\Windows"},
      {L"C:\\", L""},
      {L"C:\\Games\\Game", L""},
      {L"C:\\Program Files Old\\Game", L""},
      {L"D:\\Games\\Game", L""},
      {L"\\\\server\\share\\Game", L""},
  };
  for (const auto& t : twins) CHECK_EQ(VirtualStoreTwin(t.folder, local, protectedFolders), std::wstring(t.twin));
  CHECK_EQ(VirtualStoreTwin(L"C:\\Program Files\\Game", L"", protectedFolders), std::wstring());
  // A file of the folder itself has its place in the twin; one further down, or with no twin, none.
  const std::wstring twin = twins[1].twin, game = L"C:\\Program Files\\Game";
  CHECK_EQ(TwinPath(L"c:\\program files\\game\\red.bmp", game, twin), twin + L"\\red.bmp");
  CHECK_EQ(TwinPath(game + L"\\sub\\red.bmp", game, twin), std::wstring());
  CHECK_EQ(TwinPath(game + L"\\red.bmp", game, L""), std::wstring());
}
