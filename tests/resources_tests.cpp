// Quorvane.exe's resources, read back from the built program the way Windows and Explorer
// read them: the version that the file's Properties show, the icons, and the manifest that
// decides common controls 6, DPI awareness and long paths.
#include <windows.h>

#include <cstdio>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "services/Handles.h"
#include "tests/support/check.h"
#include "ui/resource.h"

namespace {

std::wstring Program() { return check::ProgramFolder() + L"Quorvane.exe"; }

struct ModuleTraits {
  static HMODULE Invalid() { return nullptr; }
  static void Close(HMODULE module) { FreeLibrary(module); }
};
using UniqueModule = quorvane::Owned<HMODULE, ModuleTraits>;

UniqueModule LoadProgram() {
  UniqueModule module(LoadLibraryExW(Program().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  REQUIRE(module);
  return module;
}

// A resource's bytes; empty when it is missing.
std::string_view Resource(HMODULE module, int id, LPCWSTR type) {
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), type);
  if (found == nullptr) return {};
  HGLOBAL loaded = LoadResource(module, found);
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  if (bytes == nullptr) return {};
  return {static_cast<const char*>(bytes), SizeofResource(module, found)};
}

unsigned Word(std::string_view bytes, size_t at) {
  return static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8;
}
unsigned long Dword(std::string_view bytes, size_t at) {
  return Word(bytes, at) | static_cast<unsigned long>(Word(bytes, at + 2)) << 16;
}

std::wstring VersionString(const std::vector<BYTE>& data, const std::wstring& name) {
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(data.data(), (L"\\StringFileInfo\\040904B0\\" + name).c_str(), &value, &length) ||
      value == nullptr)
    return L"(missing)";
  return static_cast<const wchar_t*>(value);
}

}  // namespace

TEST(version, properties_show_the_version_and_names) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(Program().c_str(), &ignored);
  REQUIRE(size > 0);
  std::vector<BYTE> data(size);
  REQUIRE(GetFileVersionInfoW(Program().c_str(), 0, size, data.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  REQUIRE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  REQUIRE(fixed != nullptr && length >= sizeof(VS_FIXEDFILEINFO));
  CHECK_EQ(fixed->dwSignature, 0xFEEF04BDul);
  CHECK_EQ(fixed->dwFileVersionMS, 0x00010000ul);  // 1.0
  CHECK_EQ(fixed->dwFileVersionLS, 0ul);           // .0.0
  CHECK_EQ(fixed->dwProductVersionMS, 0x00010000ul);
  CHECK_EQ(fixed->dwProductVersionLS, 0ul);
  CHECK_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

  // Explorer picks the string block by the translation: they must name the same one.
  WORD* translation = nullptr;
  REQUIRE(VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                         &length));
  REQUIRE(translation != nullptr && length == 4);
  CHECK_EQ(translation[0], 0x0409);
  CHECK_EQ(translation[1], 1200);

  // The text version must say what the numbers say.
  wchar_t numbers[32];
  std::swprintf(numbers, 32, L"%u.%02u", HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS));
  CHECK_EQ(VersionString(data, L"FileVersion"), std::wstring(numbers));
  CHECK_EQ(VersionString(data, L"ProductVersion"), std::wstring(numbers));

  const std::pair<const wchar_t*, const wchar_t*> strings[] = {
      {L"CompanyName", L"the Quorvane team"},
      {L"FileDescription", L"Quorvane"},
      {L"FileVersion", L"1.00"},
      {L"InternalName", L"Quorvane"},
      {L"OriginalFilename", L"Quorvane.exe"},
      {L"ProductName", L"Quorvane"},
      {L"ProductVersion", L"1.00"},
      {L"LegalCopyright", L"Copyright (C) 2026 the Quorvane team"},
  };
  for (const auto& [name, expected] : strings) CHECK_EQ(VersionString(data, name), std::wstring(expected));
}

TEST(icons, both_icons_hold_16_colour_images_of_the_right_sizes) {
  const UniqueModule module = LoadProgram();
  const std::pair<int, std::vector<int>> groups[] = {{IDI_QUORVANE, {32}}, {IDI_ABOUT, {32, 16}}};
  for (const auto& [group, sizes] : groups) {
    const std::string_view directory = Resource(module.get(), group, RT_GROUP_ICON);
    REQUIRE(directory.size() >= 6);
    CHECK_EQ(Word(directory, 2), 1u);  // icons, not cursors
    REQUIRE(Word(directory, 4) == sizes.size() && directory.size() >= 6 + 14 * sizes.size());
    for (size_t i = 0; i < sizes.size(); ++i) {
      const int size = sizes[i];
      const size_t entry = 6 + 14 * i;
      CHECK_EQ(static_cast<int>(static_cast<unsigned char>(directory[entry])), size);      // width
      CHECK_EQ(static_cast<int>(static_cast<unsigned char>(directory[entry + 1])), size);  // height
      CHECK_EQ(static_cast<int>(static_cast<unsigned char>(directory[entry + 2])), 16);    // colours
      CHECK_EQ(Word(directory, entry + 6), 4u);                                            // bits per pixel
      const int id = static_cast<int>(Word(directory, entry + 12));

      const std::string_view image = Resource(module.get(), id, RT_ICON);
      const size_t colourRow = (size * 4 + 31) / 32 * 4, maskRow = (size + 31) / 32 * 4;
      REQUIRE(image.size() >= 40 + 16 * 4 + (colourRow + maskRow) * size);
      CHECK_EQ(Dword(image, 0), 40ul);  // BITMAPINFOHEADER
      CHECK_EQ(Dword(image, 4), static_cast<unsigned long>(size));
      CHECK_EQ(Dword(image, 8), static_cast<unsigned long>(2 * size));  // colours and mask
      CHECK_EQ(Word(image, 14), 4u);

      // A drawing, not an empty or solid square: some pixels show through, the others use
      // a few colours.
      std::set<int> colours;
      int transparent = 0;
      const size_t pixels = 40 + 64, mask = pixels + colourRow * size;
      for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
          if (static_cast<unsigned char>(image[mask + y * maskRow + x / 8]) & (0x80 >> (x % 8))) {
            ++transparent;
          } else {
            const unsigned char pair = image[pixels + y * colourRow + x / 2];
            colours.insert(x % 2 ? pair & 0x0f : pair >> 4);
          }
        }
      }
      CHECK(transparent > 0 && transparent < size * size / 2);
      CHECK(colours.size() >= 3);

      // The system picks this image for this size, and makes an icon of it.
      std::string copy(directory);
      CHECK_EQ(LookupIconIdFromDirectoryEx(reinterpret_cast<PBYTE>(copy.data()), TRUE, size, size,
                                           LR_DEFAULTCOLOR),
               id);
      std::string bits(image);
      quorvane::UniqueIcon icon(CreateIconFromResourceEx(reinterpret_cast<PBYTE>(bits.data()),
                                                         static_cast<DWORD>(bits.size()), TRUE, 0x00030000,
                                                         size, size, LR_DEFAULTCOLOR));
      REQUIRE(icon);
      ICONINFO info{};
      REQUIRE(GetIconInfo(icon.get(), &info));
      BITMAP bitmap{};
      CHECK(GetObjectW(info.hbmColor, sizeof bitmap, &bitmap) == sizeof bitmap);
      CHECK_EQ(bitmap.bmWidth, size);
      CHECK_EQ(bitmap.bmHeight, size);
      if (info.hbmColor) DeleteObject(info.hbmColor);
      if (info.hbmMask) DeleteObject(info.hbmMask);
    }
  }
}

TEST(manifest, asks_for_common_controls_6_and_is_valid) {
  const UniqueModule module = LoadProgram();
  const std::string_view text = Resource(module.get(), 1, RT_MANIFEST);  // CREATEPROCESS_MANIFEST_RESOURCE_ID
  REQUIRE(!text.empty());
  const size_t name = text.find("name=\"Microsoft.Windows.Common-Controls\"");
  REQUIRE(name != std::string_view::npos);
  const size_t begin = text.rfind("<assemblyIdentity", name), end = text.find("/>", name);
  REQUIRE(begin != std::string_view::npos && end != std::string_view::npos);
  const std::string_view identity = text.substr(begin, end - begin);
  CHECK(identity.find("version=\"6.0.0.0\"") != std::string_view::npos);
  CHECK(identity.find("publicKeyToken=\"6595b64144ccf1df\"") != std::string_view::npos);
  CHECK(text.find(">PerMonitorV2, PerMonitor</dpiAwareness>") != std::string_view::npos);
  CHECK(text.find(">true/pm</dpiAware>") != std::string_view::npos);
  CHECK(text.find(">true</longPathAware>") != std::string_view::npos);
  CHECK(text.find("level=\"asInvoker\"") != std::string_view::npos);

  // A manifest the loader cannot parse stops the program before it starts: let the system
  // parse it as it would at start-up.
  const std::wstring program = Program();
  ACTCTXW context{};
  context.cbSize = sizeof context;
  context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
  context.lpSource = program.c_str();
  context.lpResourceName = MAKEINTRESOURCEW(1);
  const HANDLE activation = CreateActCtxW(&context);
  CHECK(activation != INVALID_HANDLE_VALUE);
  if (activation != INVALID_HANDLE_VALUE) ReleaseActCtx(activation);
}
