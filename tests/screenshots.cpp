// Saves pictures of the main window (both pages) and the About window as the screen shows
// them, at whatever DPI and in whatever colours the system has: with QUORVANE_SHOTS=PREFIX,
// writes PREFIX-skins.png, PREFIX-volumes.png and PREFIX-about.png, and PREFIX-disabled.png of
// the Volumes page's two volume lists disabled with a line selected in each. The lists and
// prefix boxes show names in Latin, Greek, Cyrillic and Chinese. Used by `make screenshots`.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "tests/support/main_window.h"

using namespace quorvane::ui;

namespace {

// A PNG of 8-bit RGB rows (top down), its pixels stored without compression: nothing beyond
// the format itself is needed to write it.
std::string Png(int width, int height, const std::string& rgbRows) {
  auto be32 = [](std::string& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((v >> shift) & 0xFF);
  };
  auto crc = [](const std::string& bytes) {
    uint32_t c = 0xFFFFFFFFu;
    for (unsigned char b : bytes) {
      c ^= b;
      for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return c ^ 0xFFFFFFFFu;
  };
  std::string png("\x89PNG\r\n\x1a\n", 8);
  auto chunk = [&](const char* type, const std::string& data) {
    be32(png, static_cast<uint32_t>(data.size()));
    const std::string typed = type + data;
    png += typed;
    be32(png, crc(typed));
  };
  std::string header;
  be32(header, static_cast<uint32_t>(width));
  be32(header, static_cast<uint32_t>(height));
  header += std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, no filter, no interlace
  chunk("IHDR", header);
  std::string z("\x78\x01", 2);
  uint32_t a = 1, b = 0;
  for (size_t at = 0; at < rgbRows.size() || at == 0; at += 65535) {
    const size_t n = std::min<size_t>(65535, rgbRows.size() - at);
    z += static_cast<char>(at + n >= rgbRows.size() ? 1 : 0);
    z += static_cast<char>(n & 0xFF);
    z += static_cast<char>(n >> 8);
    z += static_cast<char>(~n & 0xFF);
    z += static_cast<char>((~n >> 8) & 0xFF);
    z.append(rgbRows, at, n);
    if (n == 0) break;
  }
  for (unsigned char c : rgbRows) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  be32(z, (b << 16) | a);
  chunk("IDAT", z);
  chunk("IEND", "");
  return png;
}

// The window as it is on the screen, written as a PNG.
bool Save(HWND window, const std::wstring& file) {
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  check::Pump(300);
  RECT r{};
  GetWindowRect(window, &r);
  const int width = r.right - r.left, height = r.bottom - r.top;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool saved = false;
  if (memory != nullptr && bitmap != nullptr) {
    const HGDIOBJ before = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    SelectObject(memory, before);
    std::string rows;
    const auto* pixel = static_cast<const unsigned char*>(bits);
    for (int y = 0; y < height; ++y) {
      rows += '\0';
      for (int x = 0; x < width; ++x, pixel += 4) rows += {static_cast<char>(pixel[2]), static_cast<char>(pixel[1]),
                                                           static_cast<char>(pixel[0])};
    }
    check::WriteFile(file, Png(width, height, rows));
    saved = check::FileExists(file);
  }
  if (bitmap != nullptr) DeleteObject(bitmap);
  if (memory != nullptr) DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return saved;
}

// The pictures' names start with the prefix, in this program's folder (the window moves the
// process's current folder away from it).
std::wstring ShotsPrefix() {
  std::wstring prefix(1024, L'\0');
  prefix.resize(GetEnvironmentVariableW(L"QUORVANE_SHOTS", prefix.data(), static_cast<DWORD>(prefix.size())));
  return prefix.empty() ? prefix : check::ProgramFolder() + prefix;
}

}  // namespace

TEST(screenshots, of_both_windows) {
  const std::wstring prefix = ShotsPrefix();
  REQUIRE(!prefix.empty());
  const std::wstring& folder = check::GameFolder();
  check::Args names = check::kScriptPictures;
  names.push_back(check::kScriptVolume);
  for (const std::wstring& name : names) check::WriteFile(folder + name, "BM");
  const std::wstring subfolder = folder + check::kScriptFolder;
  REQUIRE(check::MakeFolder(subfolder));
  check::OpenWindow window;
  check::Type(window[kText1], L"\u76ae\u80a4");
  CHECK(Save(window.hwnd(), prefix + L"-skins.png"));
  window.showPage(1);
  check::Type(window[kText2], L"\u041a\u043e\u043c\u0430\u043d\u0434\u0430");
  CHECK(Save(window.hwnd(), prefix + L"-volumes.png"));
  check::Click(window[kCommand5]);
  REQUIRE(check::AboutShown() != nullptr);
  CHECK(Save(check::AboutShown(), prefix + L"-about.png"));
  for (const std::wstring& name : names) check::RemoveTree(folder + name);
  check::RemoveTree(subfolder);
}

TEST(disabled, lists_with_a_line_selected) {
  const std::wstring prefix = ShotsPrefix();
  REQUIRE(!prefix.empty());
  const std::wstring volume = check::GameFolder() + L"team.vol";
  check::WriteFile(volume, "");
  {
    check::OpenWindow window;
    window.showPage(1);
    check::Click(window[kOption10]);
    window.choose(kFile3, L"team.vol");
    check::Click(window[kOption9]);
    CHECK(Save(window.hwnd(), prefix + L"-disabled.png"));
  }
  DeleteFileW(volume.c_str());
}
