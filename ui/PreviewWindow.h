// The preview of a picture beside a file list: a small borderless window owned by the main
// window, that never takes the focus or activation and stays inside the screen's work area.
// It shows the picture scaled down to fit 160 × 160 pixels at 96 DPI, and under it a line such
// as "256 × 128, 24-bit, 96 KB"; a file that cannot be read as a bitmap shows its name and
// "cannot be shown" (a file only in the cloud, "not on this computer": it is not fetched for a
// preview). Its window text says the same, for screen readers.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "app/PicturePreview.h"
#include "services/Handles.h"
#include "ui/Window.h"

namespace quorvane::ui {

class PreviewWindow final : public Window<PreviewWindow> {
 public:
  // Reads `path` in the background and shows it beside line `item` of `list` when read; a
  // later ShowFor or Hide supersedes it. `font` (not owned) writes the line. `where`, when
  // given, tells in the background where the file is opened (PreviewReader::Read). The same
  // picture beside the same line is not read again.
  void ShowFor(HWND owner, HWND list, int item, const std::wstring& path, HFONT font,
               std::function<std::wstring(const std::wstring&)> where = {});
  void Hide();
  // The list the preview is shown or being read for; null when hidden.
  HWND List() const { return list_; }

 private:
  friend class Window<PreviewWindow>;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  bool Make(HWND owner);
  void Arrived(PreviewImage& image);
  void Paint();

  PreviewReader reader_;
  PreviewImage image_;
  HWND list_ = nullptr;
  int item_ = 0;
  std::wstring path_;
  HFONT font_ = nullptr;
  UINT dpi_ = 96;
  WindowOwner owner_{hwnd_};  // last: the window goes first
};

}  // namespace quorvane::ui
