// The reading of a picture's file for its preview, on the calling thread or in the background.
#include "app/PicturePreview.h"

#include <mutex>

#include "paths/PathRules.h"

namespace quorvane {
namespace {

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

// One picture decoded at a time in the process: a newer preview waits for the older to end
// (it stops at its next step once it is stale), so that their memory never adds up.
SlimLock g_decoding;

}  // namespace

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
    const ReadPicture read = [handle = file.get()](std::uint64_t offset, std::uint8_t* into, std::uint32_t bytes) {
      return ReadAt(handle, offset, into, bytes);
    };
    image = DecodePicture(static_cast<std::uint64_t>(size.QuadPart), read, box, system, stale);
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
  auto apply = [path, done = std::move(done)](PreviewImage& image) {
    image.path = path;
    done(image);
  };
  reads_.Start(work, apply, JobLane::kPreview);
}

}  // namespace quorvane
