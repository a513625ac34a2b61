// What the preview of a picture in a file list shows, worked out without a window: the checks
// a BMP file must pass before anything decodes it, the line that describes it, and the reading
// and scaling of it away from the interface thread.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "services/Handles.h"

namespace quorvane {

// A BMP file's facts, from its headers, once they hold together with the file's size.
struct BitmapFacts {
  std::int32_t width = 0, height = 0;  // height < 0: the rows run top to bottom
  int bitCount = 0;
  std::uint32_t compression = BI_RGB;
  std::uint32_t headerSize = 0;        // of the info header
  std::uint32_t colorTableBytes = 0;   // colour masks and palette after the info header
  std::uint32_t pixelOffset = 0;       // where the pixels start in the file
  std::uint32_t pixelBytes = 0;        // how many bytes of pixels follow from there
  std::uint64_t fileBytes = 0;
};

// The largest picture Quorvane decodes for a preview: width × height × bytes per pixel.
inline constexpr std::uint64_t kLargestPreview = 64ull * 1024 * 1024;

// The first bytes of a file (at least the file and info headers and the colour table, when
// the file has them) and its whole size: the facts when they describe a BMP that GDI can
// decode within the file and within kLargestPreview, else nothing. Reads nothing else.
std::optional<BitmapFacts> CheckBitmap(std::span<const std::uint8_t> head, std::uint64_t fileBytes);

// "256 × 128, 24-bit, 96 KB": KB is the file's bytes ÷ 1024, rounded.
std::wstring DescribePicture(const BitmapFacts& facts);

// The result of reading one picture for its preview.
struct PreviewImage {
  std::wstring path;
  UniqueBitmap bitmap;  // 32-bit, scaled to fit the box; null when the file cannot be shown
  SIZE size{};          // the bitmap's size in pixels
  std::wstring line;    // DescribePicture's line; empty when the file cannot be shown
};

// Reads pictures for previews on the thread pool, one at a time as far as the user sees: only
// the newest request is shown, and older ones not yet read are dropped unread.
class PreviewReader {
 public:
  PreviewReader() = default;
  ~PreviewReader() { Cancel(); }
  PreviewReader(const PreviewReader&) = delete;
  PreviewReader& operator=(const PreviewReader&) = delete;

  // Reads `path` and scales it down (never up) to fit `box` × `box` pixels, keeping its
  // proportions. `done` runs on the interface thread, through the results window, unless a
  // newer Read or a Cancel came first.
  void Read(const std::wstring& path, int box, std::function<void(PreviewImage&)> done);
  void Cancel() { ++*latest_; }

 private:
  std::shared_ptr<std::atomic<unsigned>> latest_ = std::make_shared<std::atomic<unsigned>>(0);
};

}  // namespace quorvane
