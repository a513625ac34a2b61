#include "app/PicturePreview.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <mutex>
#include <vector>

#include "paths/PathRules.h"

namespace quorvane {
namespace {

constexpr std::uint32_t kFileHeader = 14;
// The headers and tables CheckBitmap needs: the file header, the largest info header, three
// colour masks and a palette of 256 colours.
constexpr size_t kHeadBytes = kFileHeader + 124 + 12 + 256 * 4;

std::uint32_t U16(std::span<const std::uint8_t> b, size_t at) {
  return static_cast<std::uint32_t>(b[at] | b[at + 1] << 8);
}
std::uint32_t U32(std::span<const std::uint8_t> b, size_t at) {
  return U16(b, at) | U16(b, at + 2) << 16;
}

// Attributes that say the file's data is not on this computer: opening or reading it would
// fetch it from the cloud or from remote storage. Older headers lack the first two.
#ifndef FILE_ATTRIBUTE_RECALL_ON_OPEN
#define FILE_ATTRIBUTE_RECALL_ON_OPEN 0x00040000
#endif
#ifndef FILE_ATTRIBUTE_RECALL_ON_DATA_ACCESS
#define FILE_ATTRIBUTE_RECALL_ON_DATA_ACCESS 0x00400000
#endif
constexpr DWORD kNotHere = FILE_ATTRIBUTE_RECALL_ON_OPEN | FILE_ATTRIBUTE_RECALL_ON_DATA_ACCESS | FILE_ATTRIBUTE_OFFLINE;

DWORD SystemAttributes(const std::wstring& path) { return GetFileAttributesW(SystemForm(path).c_str()); }

class HeapMemory final : public PreviewMemory {
 public:
  std::uint8_t* Take(size_t bytes) override {
    return static_cast<std::uint8_t*>(HeapAlloc(GetProcessHeap(), 0, bytes));
  }
  void Give(std::uint8_t* buffer, size_t) override { HeapFree(GetProcessHeap(), 0, buffer); }
};

// One buffer handed to GDI, given back however the decode ends.
class Buffer {
 public:
  Buffer(PreviewMemory& memory, size_t bytes) : memory_(memory), data_(memory.Take(bytes)), size_(bytes) {}
  ~Buffer() {
    if (data_ != nullptr) memory_.Give(data_, size_);
  }
  Buffer(const Buffer&) = delete;
  Buffer& operator=(const Buffer&) = delete;
  std::uint8_t* data() const { return data_; }
  explicit operator bool() const { return data_ != nullptr; }

 private:
  PreviewMemory& memory_;
  std::uint8_t* data_;
  size_t size_;
};

// Reads `bytes` of the picture at `offset` into `into`; false when the picture gives fewer.
using ReadFn = std::function<bool(std::uint64_t offset, std::uint8_t* into, std::uint32_t bytes)>;

bool ReadAt(HANDLE file, std::uint64_t offset, std::uint8_t* into, std::uint32_t bytes) {
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(offset);
  if (!SetFilePointerEx(file, at, nullptr, FILE_BEGIN)) return false;
  while (bytes > 0) {
    DWORD got = 0;
    if (!ReadFile(file, into, bytes, &got, nullptr) || got == 0) return false;
    into += got;
    bytes -= got;
  }
  return true;
}

size_t InfoBytes(const BitmapFacts& facts) {
  return sizeof(BITMAPINFOHEADER) + (facts.compression == BI_BITFIELDS ? 12 : 0) + facts.colors * size_t{4};
}

// The info header GDI is given, with its masks and palette: always the plain 40-byte header,
// whatever the file's own, so that GDI reads exactly the tables put here, and with
// biSizeImage the exact length of the pixel buffer, which is all GDI may read of the pixels
// (a compressed picture's stream ends where its buffer does, whatever the file claims).
void MakeInfo(const BitmapFacts& facts, std::span<const std::uint8_t> head, std::uint8_t* into) {
  std::memset(into, 0, InfoBytes(facts));
  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = facts.width;
  header.biHeight = facts.height;
  header.biPlanes = 1;
  header.biBitCount = static_cast<WORD>(facts.bitCount);
  header.biCompression = facts.compression;
  header.biSizeImage = facts.pixelBytes;
  header.biClrUsed = facts.colors;
  std::memcpy(into, &header, sizeof header);
  size_t at = sizeof header;
  // The three colour masks follow a 40-byte header, and are the next fields of a larger one:
  // at the same place in the file either way.
  if (facts.compression == BI_BITFIELDS) {
    std::copy_n(head.begin() + kFileHeader + 40, 12, into + at);
    at += 12;
  }
  const bool core = facts.headerSize == 12;
  const size_t entry = core ? 3 : 4;
  size_t from = kFileHeader + facts.headerSize;
  if (facts.headerSize == 40 && facts.compression == BI_BITFIELDS) from += 12;
  for (std::uint32_t i = 0; i < facts.colors; ++i, at += 4, from += entry)
    std::copy_n(head.begin() + static_cast<std::ptrdiff_t>(from), 3, into + at);  // the fourth byte stays 0
}

// The picture, checked, then decoded and scaled by GDI into a 32-bit bitmap of at most
// `box` × `box` pixels. Leaves it not shown when anything is wrong with the file.
PreviewImage Decode(std::uint64_t fileBytes, const ReadFn& read, int box, const PreviewSystem& system,
                    const std::function<bool()>& stale) {
  PreviewImage image;
  std::vector<std::uint8_t> head(static_cast<size_t>(std::min<std::uint64_t>(fileBytes, kHeadBytes)));
  if (head.empty() || !read(0, head.data(), static_cast<std::uint32_t>(head.size()))) return image;
  const std::optional<BitmapFacts> facts = CheckBitmap(head, fileBytes);
  if (!facts || (stale && stale())) return image;

  HeapMemory heap;
  PreviewMemory& memory = system.memory != nullptr ? *system.memory : heap;
  const Buffer info(memory, InfoBytes(*facts));
  const Buffer pixels(memory, facts->pixelBytes);
  if (!info || !pixels) return image;
  MakeInfo(*facts, head, info.data());
  if (!read(facts->pixelOffset, pixels.data(), facts->pixelBytes) || (stale && stale())) return image;

  const int width = facts->width, height = facts->height < 0 ? -facts->height : facts->height;
  const double scale = std::min(1.0, std::min(static_cast<double>(box) / width, static_cast<double>(box) / height));
  const int w = std::max(1, static_cast<int>(width * scale + 0.5)), h = std::max(1, static_cast<int>(height * scale + 0.5));

  BITMAPINFO target{};
  target.bmiHeader.biSize = sizeof target.bmiHeader;
  target.bmiHeader.biWidth = w;
  target.bmiHeader.biHeight = -h;
  target.bmiHeader.biPlanes = 1;
  target.bmiHeader.biBitCount = 32;
  target.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  UniqueBitmap bitmap(CreateDIBSection(nullptr, &target, DIB_RGB_COLORS, &bits, nullptr, 0));
  const UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
  if (!bitmap || !dc) return image;
  int lines = 0;
  {
    const ScopedSelect selected(dc.get(), bitmap.get());
    SetStretchBltMode(dc.get(), HALFTONE);
    SetBrushOrgEx(dc.get(), 0, 0, nullptr);
    lines = StretchDIBits(dc.get(), 0, 0, w, h, 0, 0, width, height, pixels.data(),
                          reinterpret_cast<const BITMAPINFO*>(info.data()), DIB_RGB_COLORS, SRCCOPY);
  }
  if (lines == 0 || lines == static_cast<int>(GDI_ERROR)) return image;
  image.outcome = PreviewImage::Outcome::kShown;
  image.bitmap = std::move(bitmap);
  image.size = SIZE{w, h};
  image.line = DescribePicture(*facts);
  return image;
}

// One picture decoded at a time in the process: a newer preview waits for the older to end
// (it stops at its next step once it is stale), so that their memory never adds up.
SlimLock g_decoding;

}  // namespace

std::optional<BitmapFacts> CheckBitmap(std::span<const std::uint8_t> head, std::uint64_t fileBytes) {
  if (head.size() < kFileHeader + 12 || fileBytes < head.size() || head[0] != 'B' || head[1] != 'M')
    return std::nullopt;
  BitmapFacts f;
  f.fileBytes = fileBytes;
  f.pixelOffset = U32(head, 10);
  f.headerSize = U32(head, 14);
  int planes = 0;
  std::uint32_t colorsUsed = 0;
  if (f.headerSize == 12) {
    f.width = static_cast<std::int32_t>(U16(head, 18));
    f.height = static_cast<std::int32_t>(U16(head, 20));
    planes = static_cast<int>(U16(head, 22));
    f.bitCount = static_cast<int>(U16(head, 24));
    if (f.bitCount != 1 && f.bitCount != 4 && f.bitCount != 8 && f.bitCount != 24) return std::nullopt;
    if (f.bitCount <= 8) {
      f.colors = 1u << f.bitCount;
      f.colorTableBytes = 3 * f.colors;
    }
  } else if (f.headerSize == 40 || f.headerSize == 52 || f.headerSize == 56 || f.headerSize == 108 ||
             f.headerSize == 124) {
    if (head.size() < kFileHeader + f.headerSize) return std::nullopt;
    f.width = static_cast<std::int32_t>(U32(head, 18));
    f.height = static_cast<std::int32_t>(U32(head, 22));
    planes = static_cast<int>(U16(head, 26));
    f.bitCount = static_cast<int>(U16(head, 28));
    f.compression = U32(head, 30);
    colorsUsed = U32(head, 46);
    switch (f.compression) {
      case BI_RGB:
        if (f.bitCount != 1 && f.bitCount != 4 && f.bitCount != 8 && f.bitCount != 16 && f.bitCount != 24 &&
            f.bitCount != 32)
          return std::nullopt;
        break;
      case BI_BITFIELDS:
        if (f.bitCount != 16 && f.bitCount != 32) return std::nullopt;
        if (f.headerSize == 40) f.colorTableBytes = 12;  // the three masks follow the header
        break;
      case BI_RLE8:
      case BI_RLE4:
        if (f.bitCount != (f.compression == BI_RLE8 ? 8 : 4) || f.height < 0) return std::nullopt;
        break;
      default:
        return std::nullopt;  // JPEG, PNG and the like inside a BMP: not for GDI
    }
    if (f.bitCount <= 8) {
      const std::uint32_t most = 1u << f.bitCount;
      if (colorsUsed > most) return std::nullopt;
      f.colors = colorsUsed == 0 ? most : colorsUsed;
      f.colorTableBytes += 4 * f.colors;
    } else if (colorsUsed > 256) {
      return std::nullopt;
    } else {
      f.colorTableBytes += 4 * colorsUsed;  // a palette that only suggests colours: GDI is not given it
    }
  } else {
    return std::nullopt;
  }
  if (planes != 1 || f.width <= 0 || f.height == 0 || f.height == INT32_MIN) return std::nullopt;
  const std::uint64_t height = f.height < 0 ? -static_cast<std::int64_t>(f.height) : f.height;
  const std::uint64_t width = static_cast<std::uint64_t>(f.width);
  if (width * height * 4 > kLargestPreview) return std::nullopt;  // what GDI makes of it

  const std::uint64_t tablesEnd = std::uint64_t{kFileHeader} + f.headerSize + f.colorTableBytes;
  if (head.size() < tablesEnd || f.pixelOffset < tablesEnd || f.pixelOffset >= fileBytes) return std::nullopt;
  const std::uint64_t available = fileBytes - f.pixelOffset;
  std::uint64_t pixels = 0;
  if (f.compression == BI_RLE8 || f.compression == BI_RLE4) {
    // The compressed stream is what the file holds, or less where the header says so.
    const std::uint32_t stated = U32(head, 34);
    pixels = stated != 0 ? std::min<std::uint64_t>(stated, available) : available;
  } else {
    // Every row, padded to four bytes: a narrow picture may read far more than it shows.
    const std::uint64_t stride = (width * static_cast<std::uint64_t>(f.bitCount) + 31) / 32 * 4;
    pixels = stride * height;
    if (pixels > available) return std::nullopt;  // truncated: fewer rows than promised
  }
  if (pixels > kLargestPreview) return std::nullopt;  // what would be read
  f.pixelBytes = static_cast<std::uint32_t>(pixels);
  return f;
}

std::wstring DescribePicture(const BitmapFacts& facts) {
  wchar_t text[96];
  std::swprintf(text, 96, L"%ld \u00d7 %ld, %d-bit, %llu KB", static_cast<long>(facts.width),
                static_cast<long>(facts.height < 0 ? -static_cast<long long>(facts.height) : facts.height),
                facts.bitCount, static_cast<unsigned long long>((facts.fileBytes + 512) / 1024));
  return text;
}

std::wstring PreviewText(const PreviewImage& image) {
  const std::wstring name = NameOf(image.path);
  switch (image.outcome) {
    case PreviewImage::Outcome::kShown:
      return name + L": " + image.line;
    case PreviewImage::Outcome::kNotHere:
      return name + L": not on this computer";
    case PreviewImage::Outcome::kCannotBeShown:
      break;
  }
  return name + L": cannot be shown";
}

PreviewImage DecodePicture(std::span<const std::uint8_t> file, int box, const PreviewSystem& system) {
  const ReadFn read = [file](std::uint64_t offset, std::uint8_t* into, std::uint32_t bytes) {
    if (offset > file.size() || bytes > file.size() - offset) return false;
    std::copy_n(file.begin() + static_cast<std::ptrdiff_t>(offset), bytes, into);
    return true;
  };
  return Decode(file.size(), read, box, system, {});
}

PreviewImage ReadPreview(const std::wstring& path, int box, const PreviewSystem& system,
                         const std::function<bool()>& stale) {
  PreviewImage image;
  // A file that is only in the cloud, or on remote storage, is fetched as soon as it is
  // opened or read: its attributes, which open nothing, tell first. A file whose attributes
  // cannot be had is not opened either.
  const DWORD attributes = (system.attributes != nullptr ? system.attributes : &SystemAttributes)(path);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & kNotHere) != 0)
    image.outcome = PreviewImage::Outcome::kNotHere;
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & (kNotHere | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
    image.path = path;
    return image;
  }
  const UniqueFile file(CreateFileW(SystemForm(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  LARGE_INTEGER size{};
  if (file && GetFileSizeEx(file.get(), &size)) {
    const ReadFn read = [handle = file.get()](std::uint64_t offset, std::uint8_t* into, std::uint32_t bytes) {
      return ReadAt(handle, offset, into, bytes);
    };
    image = Decode(static_cast<std::uint64_t>(size.QuadPart), read, box, system, stale);
  }
  image.path = path;
  return image;
}

void PreviewReader::Read(const std::wstring& path, int box, std::function<void(PreviewImage&)> done,
                         std::function<std::wstring(const std::wstring&)> where) {
  auto work = [path, box, system = system_, where = std::move(where)](const Stale& stale) {
    const std::scoped_lock decoding(g_decoding);
    return stale() ? PreviewImage{} : ReadPreview(where ? where(path) : path, box, system, stale);
  };
  // Skipped, the preview says the file cannot be shown.
  reads_.Preview(work, [path, done = std::move(done)](PreviewImage& image) {
    image.path = path;
    done(image);
  });
}

}  // namespace quorvane
