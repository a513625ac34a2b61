#include "paths/PathRules.h"

#include <windows.h>

#include <algorithm>

namespace quorvane {
namespace {

bool IsAsciiLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

bool EqualIgnoringCase(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  if (a.empty()) return true;
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()),
                              TRUE) == CSTR_EQUAL;
}

bool StartsWithIgnoringCase(std::wstring_view text, std::wstring_view prefix) {
  return text.size() >= prefix.size() && EqualIgnoringCase(text.substr(0, prefix.size()), prefix);
}

// "\\server\share" from `start` on (the part after the leading "\\" or "\\?\UNC\"), as a root
// ending in "\"; empty when the server or the share is missing.
std::wstring UncRoot(std::wstring_view path, size_t start) {
  const size_t serverEnd = path.find(L'\\', start);
  if (serverEnd == std::wstring_view::npos || serverEnd == start) return {};
  const size_t shareStart = serverEnd + 1;
  const size_t shareEnd = path.find(L'\\', shareStart);
  if (shareEnd == std::wstring_view::npos) {
    if (shareStart == path.size()) return {};
    return std::wstring(path) + L'\\';
  }
  if (shareEnd == shareStart) return {};
  return std::wstring(path.substr(0, shareEnd + 1));
}

// Whether `test` holds for a name of `path` from `start` on, asked in order with where the name
// ends: each name up to the next "\", an empty one where two meet.
template <typename Test>
bool AnyNameFrom(std::wstring_view path, size_t start, Test test) {
  while (start < path.size()) {
    size_t end = path.find(L'\\', start);
    if (end == std::wstring_view::npos) end = path.size();
    if (test(path.substr(start, end - start), end)) return true;
    start = end + 1;
  }
  return false;
}

bool IsDevicePrefixed(std::wstring_view path) {
  return path.size() >= 4 && path[0] == L'\\' && path[1] == L'\\' && (path[2] == L'?' || path[2] == L'.') &&
         path[3] == L'\\';
}

// A name the normal path form would change: Windows strips trailing dots and blanks from each
// name when it normalises a path, and takes a device name for the device, so such a folder is
// reachable only through "\\?\".
bool HasNameTheNormalFormAlters(std::wstring_view path, size_t rootLength) {
  return AnyNameFrom(path, rootLength, [](std::wstring_view name, size_t) {
    return !name.empty() && (name.back() == L'.' || name.back() == L' ' || IsDeviceName(name));
  });
}

// A full path with nothing for GetFullPathNameW to resolve: a root, then names, none of them
// empty, "." or "..", and no "/".
bool IsPlainFullPath(std::wstring_view path) {
  const size_t rootLength = RootOf(path).size();
  if (rootLength == 0 || IsDevicePrefixed(path) || path.find(L'/') != std::wstring_view::npos) return false;
  return !AnyNameFrom(path, rootLength, [&](std::wstring_view name, size_t end) {
    return (name.empty() && end != path.size() - 1) || name == L"." || name == L"..";
  });
}

}  // namespace

bool IsDeviceName(std::wstring_view name) {
  std::wstring_view base = name.substr(0, name.find(L'.'));
  while (!base.empty() && (base.back() == L' ' || base.back() == L'.')) base.remove_suffix(1);
  for (const wchar_t* device : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"})
    if (EqualIgnoringCase(base, device)) return true;
  if (base.size() != 4 || !(StartsWithIgnoringCase(base, L"COM") || StartsWithIgnoringCase(base, L"LPT")))
    return false;
  const wchar_t digit = base[3];
  return (digit >= L'0' && digit <= L'9') || digit == L'\u00b9' || digit == L'\u00b2' || digit == L'\u00b3';
}

std::wstring RootOf(std::wstring_view path) {
  if (path.size() >= 3 && IsAsciiLetter(path[0]) && path[1] == L':' && path[2] == L'\\')
    return std::wstring(path.substr(0, 3));
  if (IsDevicePrefixed(path)) {
    if (StartsWithIgnoringCase(path.substr(4), L"UNC\\")) return UncRoot(path, 8);
    const size_t end = path.find(L'\\', 4);
    if (end == std::wstring_view::npos || end == 4) return {};
    return std::wstring(path.substr(0, end + 1));
  }
  if (path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\') return UncRoot(path, 2);
  return {};
}

std::wstring NormalForm(std::wstring_view path) {
  if (path.size() < 4 || path.substr(0, 4) != L"\\\\?\\") return std::wstring(path);
  const std::wstring_view rest = path.substr(4);
  if (rest.size() >= 3 && IsAsciiLetter(rest[0]) && rest[1] == L':' && rest[2] == L'\\')
    return std::wstring(rest);
  if (StartsWithIgnoringCase(rest, L"UNC\\") && !UncRoot(path, 8).empty())
    return L"\\\\" + std::wstring(rest.substr(4));
  return std::wstring(path);
}

std::wstring SystemForm(std::wstring_view path, size_t extra) {
  if (IsDevicePrefixed(path)) return std::wstring(path);
  const std::wstring root = RootOf(path);
  if (root.empty()) return std::wstring(path);
  if (path.size() + extra < MAX_PATH && !HasNameTheNormalFormAlters(path, root.size()))
    return std::wstring(path);
  if (path[1] == L':') return L"\\\\?\\" + std::wstring(path);
  return L"\\\\?\\UNC\\" + std::wstring(path.substr(2));
}

std::wstring TrimFolder(std::wstring_view path) {
  const size_t keep = std::max<size_t>(RootOf(path).size(), 1);
  while (path.size() > keep && path.back() == L'\\') path.remove_suffix(1);
  return std::wstring(path);
}

std::wstring ParentFolder(std::wstring_view path) {
  const std::wstring folder = TrimFolder(path);
  const std::wstring root = RootOf(folder);
  if (root.empty() || folder.size() <= root.size()) return {};
  const size_t slash = folder.find_last_of(L'\\');
  if (slash == std::wstring::npos || slash < root.size()) return root;
  return folder.substr(0, slash);
}

std::wstring NameOf(std::wstring_view path) {
  return std::wstring(path.substr(path.find_last_of(L'\\') + 1));
}

std::vector<std::wstring> NamesBelowRoot(std::wstring_view path) {
  std::vector<std::wstring> names;
  const size_t rootLength = RootOf(path).size();
  if (rootLength == 0) return names;
  AnyNameFrom(path, rootLength, [&names](std::wstring_view name, size_t) {
    if (!name.empty()) names.emplace_back(name);
    return false;  // every name
  });
  return names;
}

bool SamePath(std::wstring_view a, std::wstring_view b) { return EqualIgnoringCase(a, b); }

bool PatternAdmits(std::wstring_view pattern, std::wstring_view name) {
  // Star matches any run of characters, "?" any one; the rest compare without regard to case.
  size_t p = 0, n = 0, star = std::wstring_view::npos, resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == L'*') {
      star = p++;
      resume = n;
    } else if (p < pattern.size() &&
               (pattern[p] == L'?' || SamePath(pattern.substr(p, 1), name.substr(n, 1)))) {
      ++p;
      ++n;
    } else if (star != std::wstring_view::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == L'*') ++p;
  return p == pattern.size();
}

bool NameLess(const std::wstring& a, const std::wstring& b) {
  const int order = CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                         static_cast<int>(b.size()), TRUE);
  if (order == CSTR_LESS_THAN) return true;
  if (order == CSTR_GREATER_THAN) return false;
  return a < b;  // equal without regard to case (or not comparable): a fixed order all the same
}

std::wstring FullPath(const std::wstring& folder) {
  if (folder.empty()) {
    SetLastError(ERROR_INVALID_NAME);
    return {};
  }
  std::wstring full;
  if (folder.size() >= 4 && folder.compare(0, 4, L"\\\\?\\") == 0) {
    // Already absolute and meant literally: the system would not normalise it either.
    full = NormalForm(folder);
  } else if (IsPlainFullPath(folder) && SystemForm(folder) != folder) {
    // A full path that the normal form would alter names exactly the folder it spells (the
    // folder lists give such paths for folders named "odd." or "CON"): GetFullPathNameW would
    // strip the dots and blanks or make it the device's path, and so list another folder.
    full = folder;
  } else {
    full.resize(std::max<size_t>(folder.size() + MAX_PATH, MAX_PATH));
    for (;;) {
      const DWORD n = GetFullPathNameW(folder.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
      if (n == 0) return {};
      if (n < full.size()) {
        full.resize(n);
        break;
      }
      full.resize(n);  // n counts the terminating null when the buffer was short
    }
    full = NormalForm(full);
  }
  full = TrimFolder(full);
  if (RootOf(full).empty()) {
    SetLastError(ERROR_BAD_PATHNAME);
    return {};
  }
  if (full.size() >= 2 && full[1] == L':' && full[0] >= L'a' && full[0] <= L'z')
    full[0] = static_cast<wchar_t>(full[0] - L'a' + L'A');
  return full;
}

std::wstring FullFolderPath(const std::wstring& folder) { return FullPath(folder); }

std::wstring JoinPath(std::wstring_view folder, std::wstring_view name) {
  std::wstring path(folder);
  if (path.empty() || path.back() != L'\\') path += L'\\';
  path += name;
  return path;
}

bool PrefixFitsFileName(std::wstring_view prefix) {
  for (wchar_t c : prefix) {
    if (c < 0x20 || (c >= 0x7f && c <= 0x9f)) return false;
    if (std::wstring_view(L"\\/:*?\"<>|").find(c) != std::wstring_view::npos) return false;
  }
  return true;
}

bool PrefixNamesDevice(std::wstring_view prefix) { return IsDeviceName(prefix); }

std::wstring VirtualStoreTwin(std::wstring_view folder, std::wstring_view localAppData,
                              std::span<const std::wstring> protectedFolders) {
  const std::wstring trimmed = TrimFolder(folder), root = RootOf(trimmed);
  if (localAppData.empty() || root.empty() || trimmed.size() <= root.size()) return {};
  const bool virtualized =
      std::any_of(protectedFolders.begin(), protectedFolders.end(), [&](const std::wstring& p) {
        // One the system does not tell (empty) would otherwise take in every "\\server" path.
        const std::wstring top = TrimFolder(p);
        if (RootOf(top).empty()) return false;
        return SamePath(trimmed, top) || StartsWithIgnoringCase(trimmed, JoinPath(top, L""));
      });
  if (!virtualized) return {};
  return JoinPath(JoinPath(TrimFolder(localAppData), L"VirtualStore"),
                  std::wstring_view(trimmed).substr(root.size()));
}

std::wstring TwinPath(std::wstring_view path, std::wstring_view folder, std::wstring_view twin) {
  if (twin.empty() || !SamePath(ParentFolder(path), folder)) return {};
  return JoinPath(twin, NameOf(path));
}

}  // namespace quorvane
