#include "services/Prompt.h"

namespace quorvane {

int MessageBoxPrompts::ShowPrompt(const std::wstring& text, const std::wstring& title, UINT style) {
  if (closed_ && (style & MB_TYPEMASK) != MB_OK) return 0;
  // MessageBoxW returns 0 only when it could not show the box at all (out of memory); the
  // caller then stores 0, which no check takes for a Yes.
  return MessageBoxW(owner_, text.c_str(), title.c_str(), style);
}

}  // namespace quorvane
