// What the preview of a picture in a file list shows, worked out without a window: the checks
// a BMP file must pass before anything decodes it, the line that describes it, and the reading
// and scaling of it away from the interface thread.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "services/Handles.h"
#include "services/Jobs.h"

namespace quorvane {

// A BMP file's facts, from its headers, once they hold together with the file's size.
struct BitmapFacts {
  std::int32_t width = 0, height = 0;  // height < 0: the rows run top to bottom
  int bitCount = 0;
  std::uint32_t compression = BI_RGB;
  std::uint32_t headerSize = 0;        // of the info header
  std::uint32_t colorTableBytes = 0;   // colour masks and palette after the info header
  std::uint32_t colors = 0;            // palette entries GDI reads (pictures of 8 bits or fewer)
  std::uint32_t pixelOffset = 0;       // where the pixels start in the file
  std::uint32_t pixelBytes = 0;        // how many bytes of pixels are read from there
  std::uint64_t fileBytes = 0;
};

// The file header's length, and the most of a file's start that CheckBitmap needs: the file
// header, the largest info header, three colour masks and a palette of 256 colours.
inline constexpr std::uint32_t kBitmapFileHeader = 14;
inline constexpr size_t kBitmapHeadBytes = kBitmapFileHeader + 124 + 12 + 256 * 4;

// The most a preview may cost, counted twice over: the bytes it reads from the file, and the
// image GDI makes of them, which is the whole picture at 4 bytes a pixel whatever its depth
// or compression (GDI expands a picture to full size before it scales it down).
inline constexpr std::uint64_t kLargestPreview = 64ull * 1024 * 1024;

// The first bytes of a file (at least the file and info headers and the colour table, when
// the file has them) and its whole size: the facts when they describe a BMP that GDI can
// decode within the file and within kLargestPreview, else nothing. Reads nothing else.
std::optional<BitmapFacts> CheckBitmap(std::span<const std::uint8_t> head, std::uint64_t fileBytes);

// "256 × 128, 24-bit, 96 KB": KB is the file's bytes ÷ 1024, rounded.
std::wstring DescribePicture(const BitmapFacts& facts);

// The result of reading one picture for its preview.
struct PreviewImage {
  enum class Outcome {
    kCannotBeShown,  // not a picture GDI decodes within the limits, or unreadable
    kShown,
    kNotHere,        // only in the cloud or on remote storage: reading it would fetch it
  };
  std::wstring path;
  Outcome outcome = Outcome::kCannotBeShown;
  UniqueBitmap bitmap;  // 32-bit, scaled to fit the box; null unless shown
  SIZE size{};          // the bitmap's size in pixels
  std::wstring line;    // DescribePicture's line; empty unless shown
};

// "red.bmp: 64 × 32, 24-bit, 6 KB", "red.bmp: cannot be shown", "red.bmp: not on this computer".
std::wstring PreviewText(const PreviewImage& image);

// Where a decode takes the buffers it hands GDI: the header with its tables, and the pixels.
// GDI is told the exact length of each, and must never read past it.
class PreviewMemory {
 public:
  virtual ~PreviewMemory() = default;
  virtual std::uint8_t* Take(size_t bytes) = 0;  // null when it cannot be had
  virtual void Give(std::uint8_t* buffer, size_t bytes) = 0;
};

// What a preview asks of the system, replaceable where a test must see or steer it.
struct PreviewSystem {
  // GetFileAttributesW of a path: it opens nothing, so it fetches nothing from the cloud.
  DWORD (*attributes)(const std::wstring& path) = nullptr;  // null: the system's
  PreviewMemory* memory = nullptr;                           // null: the process heap
};

// Reads `bytes` of a picture at `offset` into `into`; false when the picture gives fewer.
using ReadPicture = std::function<bool(std::uint64_t offset, std::uint8_t* into, std::uint32_t bytes)>;
// Checks a picture of `fileBytes` bytes read through `read`, then has GDI decode it and scale it
// into a 32-bit bitmap of at most `box` x `box` pixels, on the calling thread; not shown when
// anything is wrong with the file. `stale` is asked between the steps, as ReadPreview's.
PreviewImage DecodePicture(std::uint64_t fileBytes, const ReadPicture& read, int box, const PreviewSystem& system,
                           const std::function<bool()>& stale);
// Decodes a picture held in memory, as ReadPreview decodes a file.
PreviewImage DecodePicture(std::span<const std::uint8_t> file, int box, const PreviewSystem& system = {});

// Reads `path` and scales it down (never up) to fit `box` × `box` pixels, keeping its
// proportions, on the calling thread. `stale` is asked between the steps; when it says so,
// the reading stops and the picture counts as not shown.
PreviewImage ReadPreview(const std::wstring& path, int box, const PreviewSystem& system = {},
                         const std::function<bool()>& stale = {});

// Reads pictures for previews in the background, one at a time as far as the user sees: only
// the newest request is shown, and older ones not yet read are dropped unread. One picture is
// decoded at a time in the whole process, so that previews asked for in a row never hold
// their memory side by side.
class PreviewReader {
 public:
  explicit PreviewReader(PreviewSystem system = {}) : system_(system) {}
  PreviewReader(const PreviewReader&) = delete;
  PreviewReader& operator=(const PreviewReader&) = delete;

  // Reads `path` as ReadPreview does. `done` runs on the interface thread, through the results
  // window, unless a newer Read or a Cancel came first. `where`, when given, tells in the
  // background too where the file is opened (a look at the disk), `path` naming it still.
  void Read(const std::wstring& path, int box, std::function<void(PreviewImage&)> done,
            std::function<std::wstring(const std::wstring&)> where = {});
  void Cancel() { reads_.Cancel(); }

 private:
  PreviewSystem system_;
  JobLane reads_;
};

}  // namespace quorvane
