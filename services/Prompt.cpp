#include "services/Prompt.h"

namespace quorvane {

int MessageBoxPrompts::ShowPrompt(const std::wstring& text, const std::wstring& title, UINT style) {
  if (closed_ && (style & MB_TYPEMASK) != MB_OK) return 0;
  // A box without an owner (the window has closed) is brought forward by nobody: it asks for
  // the foreground itself and stays above other windows, lest it open unseen behind them.
  // Windows may still only flash its taskbar button (it limits SetForegroundWindow).
  const UINT shown = owner_ == nullptr ? style | MB_SETFOREGROUND | MB_TOPMOST : style;
  // MessageBoxW returns 0 only when it could not show the box at all (out of memory); the
  // caller then stores 0, which no check takes for a Yes.
  return MessageBoxW(owner_, text.c_str(), title.c_str(), shown);
}

}  // namespace quorvane
