// Pictures, volumes and folders dropped on the main window from Explorer: each is picked as a
// click in its pane would pick it. Every check comes before anything changes, and a drop never
// starts a tool.
#include "ui/MainWindow.h"

#include <commctrl.h>
#include <shellapi.h>

#include "app/FolderListing.h"
#include "paths/PathRules.h"
#include "services/Jobs.h"
#include "services/SystemLibrary.h"
#include "services/WinError.h"
#include "ui/ToolsAtWork.h"

namespace quorvane::ui {
namespace {

// The shell's drop functions, from the system's shell32.dll, loaded with the first drop rather
// than at start: loading shell32 and all it loads would take longer than the rest of a start.
struct ShellDrops {
  decltype(&DragQueryFileW) query = nullptr;
  decltype(&DragFinish) finish = nullptr;
};

const ShellDrops* Shell() {
  static const ShellDrops functions = [] {
    ShellDrops f;
    if (HMODULE shell = LoadSystemLibrary(L"shell32.dll")) {
      f.query = SystemFunction<decltype(f.query)>(shell, "DragQueryFileW");
      f.finish = SystemFunction<decltype(f.finish)>(shell, "DragFinish");
    }
    return f;
  }();
  return functions.query && functions.finish ? &functions : nullptr;
}

// Every path of a drop, at any length; the drop is let go of. False, with the reason in
// GetLastError, when the shell's drop functions cannot be had; none when the drop cannot be
// read (DragQueryFileW tells a failure by 0 alone, with no reason).
bool DroppedPaths(HDROP drop, std::vector<std::wstring>& paths) {
  const ShellDrops* shell = Shell();
  if (shell == nullptr) {
    const DWORD error = GetLastError();
    GlobalFree(drop);  // what DragFinish would have done
    SetLastError(error);
    return false;
  }
  const UINT count = shell->query(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    const UINT length = shell->query(drop, i, nullptr, 0);
    std::wstring path(length + 1, L'\0');
    path.resize(length == 0 ? 0 : shell->query(drop, i, path.data(), length + 1));
    if (path.empty()) {
      paths.clear();
      break;
    }
    paths.push_back(std::move(path));
  }
  shell->finish(drop);
  return true;
}

}  // namespace

void Quorvane::LetShellMessagesThrough() {
  // A Quorvane started elevated gets no messages from a program that is not, a normal Explorer
  // among them, unless it lets them through (Windows 7 and later): the drop's, and the
  // taskbar's word that the window's button is there, without which no progress shows on it.
  using FilterFn = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
  const auto filter = User32Function<FilterFn>("ChangeWindowMessageFilterEx");
  if (filter == nullptr) return;
  for (UINT message : {UINT{WM_DROPFILES}, UINT{WM_COPYDATA}, UINT{0x0049} /* WM_COPYGLOBALDATA */,
                       ToolsAtWork::TaskbarButtonCreatedMessage()})
    if (message != 0) filter(hwnd_, message, 1 /* MSGFLT_ALLOW */, nullptr);
}

// What a drop's look at the disk found: the file or folder to pick, or why it is refused.
struct DropLookup {
  size_t page = 0;    // the page it was dropped on
  size_t pane = 0;    // the pane that picks it (Quorvane::kPaneDefs)
  bool folder = true;
  std::wstring full;  // a file's name as its list shows it (its long name)
  std::wstring warning;
};

namespace {

// The checks of a drop that look at the disk, done on a worker: the disk may be slow, a share
// or a drive asleep. A file is taken only as its list would show it: by its long name (a short
// alias such as "SKIN~1.BMP" may stand for "skin.bmp~"), and neither hidden nor a system file,
// which no list shows. Otherwise its pane would move and pick nothing, and the earlier pick
// would stay, unseen, for Continue to use.
// A file of the program folder that only its VirtualStore twin has is looked at there, as the
// game and its tools see it, and picked by its path in the program folder.
DropLookup LookAt(std::wstring full, size_t page, const ProgramFolderReader& disk) {
  DropLookup found;
  found.page = page;
  while (Quorvane::kPaneDefs[found.pane].page != page) ++found.pane;
  const std::wstring readable = disk.Readable(full);
  const DWORD attributes = GetFileAttributesW(SystemForm(readable).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    found.warning = UnableToOpen(full, GetLastError());
  } else if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    found.folder = false;
    const DiskEntry entry = LookUp(readable);
    if (entry.error != ERROR_SUCCESS) {
      found.warning = UnableToOpen(full, entry.error);
    } else {
      full = JoinPath(ParentFolder(full), entry.name);
      // The first pane of the page that lists such files; a file that only the other page lists
      // is a volume (pictures are listed on both).
      std::optional<size_t> taking, elsewhere;
      for (size_t i = std::size(Quorvane::kPaneDefs); i-- > 0;) {
        if (!PatternAdmits(Quorvane::kPaneDefs[i].pattern, entry.name)) continue;
        (Quorvane::kPaneDefs[i].page == page ? taking : elsewhere) = i;
      }
      if (taking)
        found.pane = *taking;
      else if (!elsewhere)
        found.warning = L"You must drop a .bmp picture, a .vol volume or a folder in order to complete this operation..!";
      else
        found.warning = L"You must drop a volume on the Volumes page in order to complete this operation..!";
      if (found.warning.empty() && (entry.attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)))
        found.warning = std::wstring(L"You must drop a ") + Quorvane::kPaneDefs[found.pane].what +
                        L" that is neither hidden nor a system file in order to complete this operation..!";
    }
  }
  found.full = std::move(full);
  return found;
}

}  // namespace

void Quorvane::Form_DragDrop(HDROP drop) {
  std::vector<std::wstring> paths;
  const bool read = DroppedPaths(drop, paths);
  const size_t page = ShownPage() == 0 ? 0 : 1;
  std::wstring full;
  if (!read) {
    Warn(L"Unable to take the drop: " + SystemMessage(GetLastError()) + L"..!");
  } else if (paths.empty()) {
    Warn(L"Unable to read what was dropped. Drop it again from its folder..!");
  } else if (paths.size() != 1) {
    Warn(L"You must drop one picture, volume or folder at a time in order to complete this operation..!");
  } else if ((full = FullPath(paths[0])).empty()) {
    Warn(UnableToOpen(paths[0], GetLastError()));
  } else if (!SamePath(RootOf(full), RootOf(state_.AppDir))) {
    // The folder lists keep to the drive of the program folder.
    Warn(L"You must drop a file or folder from " + RootOf(state_.AppDir) +
         L", the drive of Quorvane's folder, in order to complete this operation..!");
  } else {
    auto work = [this, full, page](const Stale&) { return LookAt(full, page, reader_); };
    auto apply = [this](DropLookup& lookup) { Dropped(lookup); };
    drops_.Start(work, apply);
  }
}

void Quorvane::Dropped(const DropLookup& lookup) {
  if (!lookup.warning.empty()) {
    Warn(lookup.warning);
    return;
  }
  // A drop on the Volumes page finds it shown, so made; should it ever not be, nothing is picked.
  if (lookup.page == 1 && !VolumesPage()) return;
  Session::EventScope scope(session_);
  const PaneDef& def = kPaneDefs[lookup.pane];
  if (!lookup.folder && def.option != kNone) {
    // "Existing Volume", exactly as a click on it: checked, its tab stop, and its event.
    CheckRadioButton(pages_[def.page], kOption9, kOption10, def.option);
    ControlEvent(def.option, BN_CLICKED);
  }
  Pane& pane = panes_[lookup.pane];
  const std::wstring folder = lookup.folder ? lookup.full : ParentFolder(lookup.full);
  // A file is chosen once its folder is listed, from a read made after the drop. Gone by then
  // (or its folder could not be read), the earlier pick stays, as a pick only changes with a
  // click, and the player is told which one that is.
  std::function<void()> choose;
  if (!lookup.folder) {
    const std::wstring& recorded = state_.*def.picked;
    const std::wstring full = lookup.full;
    auto missing = [this, &pane, &recorded, full, what = def.what] {
      const DWORD error = pane.files.ListingError();
      const std::wstring stays = recorded.empty() ? std::wstring(L"No ") + what + L" is picked"
                                                  : std::wstring(L"The ") + what + L" " + recorded + L" stays picked";
      const std::wstring reason = error != ERROR_SUCCESS ? SystemMessage(error) : L"it is no longer there";
      Warn(L"Unable to pick " + full + L": " + reason + L". " + stays + L"..!");
    };
    choose = [&pane, full, missing] { pane.files.ChooseWhenListed(NameOf(full), missing); };
  }
  if (const Outcome set = pane.folders.SetPath(folder, choose); !set) Warn(UnableToOpen(folder, set.error));
}

}  // namespace quorvane::ui
