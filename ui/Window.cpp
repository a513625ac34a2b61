#include "ui/Window.h"

namespace quorvane::ui {
namespace {
int g_openWindows = 0;
}

void WindowOpened() { ++g_openWindows; }

void WindowClosed() {
  if (--g_openWindows == 0) PostQuitMessage(0);
}

}  // namespace quorvane::ui
