#include "ui/Window.h"

namespace quorvane::ui {
namespace {
int g_openWindows = 0;
std::function<bool()> g_busy;
}  // namespace

void WindowOpened() { ++g_openWindows; }

void WindowClosed() {
  --g_openWindows;
  QuitIfDone();
}

void HoldOpenWhile(std::function<bool()> busy) { g_busy = std::move(busy); }

void QuitIfDone() {
  if (g_openWindows == 0 && !(g_busy && g_busy())) PostQuitMessage(0);
}

}  // namespace quorvane::ui
