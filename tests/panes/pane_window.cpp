#include "tests/panes/pane_window.h"

#include <stdexcept>

#include "services/Jobs.h"
#include "services/ResultWindow.h"
#include "app/Panes.h"
#include "tests/support/check.h"

using namespace quorvane;

namespace panes_test {
namespace {

constexpr wchar_t kClass[] = L"QuorvanePanesTestWindow";

void RegisterOnce() {
  static bool done = false;
  if (done) return;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &PaneWindow::Proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  wc.lpszClassName = kClass;
  if (!RegisterClassExW(&wc)) throw std::runtime_error("cannot register the test window class");
  done = true;
}

HWND MakeList(HWND parent, int id, DWORD exStyle, DWORD style, int x, int y) {
  HWND list = CreateWindowExW(exStyle, L"LISTBOX", nullptr, style, x, y, 180, 160, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                              GetModuleHandleW(nullptr), nullptr);
  if (list == nullptr) throw std::runtime_error("cannot create a list box");
  return list;
}

}  // namespace

PaneWindow::PaneWindow() {
  RegisterOnce();
  if (!MakeResultWindow()) throw std::runtime_error("cannot make the results window");
  hwnd = CreateWindowExW(0, kClass, L"Panes under test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40,
                         620, 460, nullptr, nullptr, GetModuleHandleW(nullptr), this);
  if (hwnd == nullptr) throw std::runtime_error("cannot create the test window");

  HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  struct Pane {
    FolderPane& dir;
    FilePane& files;
    ui::FolderList& dirList;
    ui::FileList& fileList;
    int dirId;
    std::wstring& recorded;
  } panes[] = {{dir1, file1, dir1List, file1List, kDir1, state.SkinFile},
               {dir2, file2, dir2List, file2List, kDir2, state.VolumeSkinFile},
               {dir3, file3, dir3List, file3List, kDir3, state.VolumeFile}};
  int x = 10;
  for (Pane& pane : panes) {
    // Wired as the main window wires its panes.
    pane.dir.onChange = [this, &dir = pane.dir, &files = pane.files] {
      FolderChanged(dir, files);
      if (settle) check::Settle();
    };
    pane.files.onClick = [&files = pane.files, &recorded = pane.recorded] { FileClicked(files, recorded); };
    pane.dir.onContentChange = [&files = pane.files] { files.Refresh(); };
    if (!pane.dirList.Attach(MakeList(hwnd, pane.dirId, ui::FolderList::ExStyle(), ui::FolderList::Style(), x, 10),
                             pane.dir))
      throw std::runtime_error("cannot attach a folder list");
    if (!pane.fileList.Attach(MakeList(hwnd, pane.dirId + 1, ui::FileList::ExStyle(), ui::FileList::Style(), x, 180),
                              pane.files))
      throw std::runtime_error("cannot attach a file list");
    pane.dirList.SetFont(font);
    pane.fileList.SetFont(font);
    x += 200;
  }
  auto wired = dir1.onChange;
  dir1.onChange = [this, wired] {
    ++dir1Changes;
    wired();
  };
  if (!CreateWindowExW(0, L"BUTTON", L"Continue", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 10,
                       360, 100, 28, hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDOK)),
                       GetModuleHandleW(nullptr), nullptr))
    throw std::runtime_error("cannot create the default button");
  check::SetMessageFilter([this](MSG& msg) { return IsDialogMessageW(hwnd, &msg) != FALSE; });
  check::Pump(0);
}

PaneWindow::~PaneWindow() {
  check::SetMessageFilter(nullptr);
  if (hwnd != nullptr) DestroyWindow(hwnd);
  check::Pump(0);
}

// The lists by their ids: kDir1, kFile1, kDir2... in turn.
ui::FolderList* PaneWindow::FolderFor(int id) {
  ui::FolderList* lists[] = {&dir1List, &dir2List, &dir3List};
  return id >= kDir1 && id <= kFile3 && (id - kDir1) % 2 == 0 ? lists[(id - kDir1) / 2] : nullptr;
}

ui::FileList* PaneWindow::FilesFor(int id) {
  ui::FileList* lists[] = {&file1List, &file2List, &file3List};
  return id >= kDir1 && id <= kFile3 && (id - kDir1) % 2 == 1 ? lists[(id - kDir1) / 2] : nullptr;
}

LRESULT CALLBACK PaneWindow::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<PaneWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
  return self->Handle(hwnd, message, wParam, lParam);
}

// Only forwarding by control ID, as the main window does.
LRESULT PaneWindow::Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      const WORD code = HIWORD(wParam);
      if (id == IDOK) {
        ++okPresses;
        return 0;
      }
      if (auto* dir = FolderFor(id)) {
        dir->OnCommand(code);
        if (settle) check::Settle();
      }
      if (auto* files = FilesFor(id)) files->OnCommand(code);
      return 0;
    }
    case WM_MEASUREITEM: {
      auto& item = *reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
      if (auto* dir = FolderFor(static_cast<int>(wParam))) {
        dir->OnMeasureItem(item);
        return TRUE;
      }
      break;
    }
    case WM_DRAWITEM: {
      const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (auto* dir = FolderFor(static_cast<int>(wParam))) {
        dir->OnDrawItem(item);
        return TRUE;
      }
      break;
    }
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

std::vector<std::wstring> Lines(const FolderPane& dir) {
  std::vector<std::wstring> lines;
  for (const FolderEntry& entry : dir.Entries())
    lines.push_back(std::to_wstring(entry.level) + L":" + entry.text);
  return lines;
}

}  // namespace panes_test
