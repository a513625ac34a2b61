#include "ui/PreviewWindow.h"

#include <algorithm>

#include "services/WindowClass.h"
#include "ui/Controls.h"

namespace quorvane::ui {
namespace {

constexpr wchar_t kClassName[] = L"QuorvanePreview";
constexpr int kBox = 160;  // pixels at 96 DPI
constexpr int kMargin = 4;

// What the window writes under the picture, or instead of it: the name, then what it is.
std::wstring Caption(const PreviewImage& image) {
  if (image.bitmap) return image.line;
  std::wstring text = PreviewText(image);
  const size_t colon = text.rfind(L": ");
  return text.replace(colon, 2, L"\n");
}

}  // namespace

bool PreviewWindow::Make(HWND owner) {
  if (hwnd_ != nullptr) return true;
  if (!RegisterWindowClass(kClassName, &Window::Procedure)) return false;
  return CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kClassName, L"", WS_POPUP | WS_BORDER, 0, 0, 0, 0,
                         owner, nullptr, GetModuleHandleW(nullptr), this) != nullptr;
}

void PreviewWindow::ShowFor(HWND owner, HWND list, int item, const std::wstring& path, HFONT font,
                            std::function<std::wstring(const std::wstring&)> where) {
  if (list == list_ && item == item_ && path == path_) return;
  if (!Make(owner)) return;  // no preview, and nothing else lost
  list_ = list;
  item_ = item;
  path_ = path;
  font_ = font;
  dpi_ = DpiOf(owner);
  reader_.Read(path, MulDiv(kBox, static_cast<int>(dpi_), 96), [this](PreviewImage& image) { Arrived(image); },
               std::move(where));
}

void PreviewWindow::Hide() {
  list_ = nullptr;
  reader_.Cancel();
  if (hwnd_ != nullptr) ShowWindow(hwnd_, SW_HIDE);
}

void PreviewWindow::Arrived(PreviewImage& image) {
  if (list_ == nullptr || !IsWindowVisible(list_)) return;
  image_ = std::move(image);
  const std::wstring caption = Caption(image_);
  SetWindowTextW(hwnd_, PreviewText(image_).c_str());

  // The size: the picture, and the caption under it, with a margin all round.
  const int margin = MulDiv(kMargin, static_cast<int>(dpi_), 96);
  RECT text{0, 0, 0, 0};
  if (const ScopedGetDc dc(hwnd_); dc) {
    const ScopedSelect font(dc.get(), font_ != nullptr ? font_ : GetStockObject(DEFAULT_GUI_FONT));
    DrawTextW(dc.get(), caption.c_str(), -1, &text, DT_CALCRECT | DT_NOPREFIX);
  }
  const int picture = image_.bitmap ? image_.size.cy + margin : 0;
  const int width = std::max<int>(image_.size.cx, text.right) + 2 * margin + 2 * GetSystemMetrics(SM_CXBORDER);
  const int height = picture + text.bottom + 2 * margin + 2 * GetSystemMetrics(SM_CYBORDER);

  // Beside the list, level with the line; on its left when the right has no room; always
  // inside the work area of the list's monitor.
  RECT box{}, line{};
  GetWindowRect(list_, &box);
  if (SendMessageW(list_, LB_GETITEMRECT, static_cast<WPARAM>(item_), reinterpret_cast<LPARAM>(&line)) == LB_ERR)
    line = RECT{0, 0, 0, 0};
  MapWindowPoints(list_, nullptr, reinterpret_cast<POINT*>(&line), 2);
  const RECT area = WorkArea(MonitorFromWindow(list_, MONITOR_DEFAULTTONEAREST));
  const int gap = margin;
  int x = box.right + gap;
  if (x + width > area.right) x = box.left - gap - width;
  x = std::clamp<int>(x, area.left, std::max<int>(area.left, area.right - width));
  const int y = std::clamp<int>(std::max(line.top, box.top), area.top, std::max<int>(area.top, area.bottom - height));
  SetWindowPos(hwnd_, HWND_TOP, x, y, width, height, SWP_NOACTIVATE | SWP_SHOWWINDOW);
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void PreviewWindow::Paint() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(hwnd_, &paint);
  if (dc == nullptr) return;
  RECT client{};
  GetClientRect(hwnd_, &client);
  FillRect(dc, &client, GetSysColorBrush(COLOR_INFOBK));
  const int margin = MulDiv(kMargin, static_cast<int>(dpi_), 96);
  int top = margin;
  if (image_.bitmap) {
    if (const UniqueMemoryDc source(CreateCompatibleDC(dc)); source) {
      const ScopedSelect picture(source.get(), image_.bitmap.get());
      BitBlt(dc, (client.right - image_.size.cx) / 2, top, image_.size.cx, image_.size.cy, source.get(), 0, 0,
             SRCCOPY);
    }
    top += image_.size.cy + margin;
  }
  const std::wstring caption = Caption(image_);
  RECT text{margin, top, client.right - margin, client.bottom - margin};
  {
    const ScopedSelect font(dc, font_ != nullptr ? font_ : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_INFOTEXT));
    DrawTextW(dc, caption.c_str(), -1, &text, DT_CENTER | DT_NOPREFIX);
  }
  EndPaint(hwnd_, &paint);
}

LRESULT PreviewWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;  // a click on the preview leaves the focus where it is
    case WM_NCHITTEST:
      return HTTRANSPARENT;  // the pointer over it is over whatever lies below
    default:
      return DefWindowProcW(hwnd_, message, wParam, lParam);
  }
}

}  // namespace quorvane::ui
