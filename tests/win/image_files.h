// Image files written on the spot (animated and still GIFs, a multi-page
// TIFF) and a way to put bytes into the URL cache of the Wine prefix, for
// the sweep's tests and the demo.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <fstream>
#include <string>
#include <vector>

namespace imagefiles {

using Bytes = std::vector<unsigned char>;

// A 1x1 GIF with `frames` images (each with its graphic control block).
inline Bytes gif(int frames) {
  Bytes b = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 0xFF, 0xFF, 0xFF, 0, 0, 0};
  for (int i = 0; i < frames; ++i) {
    const Bytes frame = {0x21, 0xF9, 4, 0, 10, 0, 0, 0, 0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x44, 1, 0};
    b.insert(b.end(), frame.begin(), frame.end());
  }
  b.push_back(0x3B);
  return b;
}

// A little-endian TIFF of `pages` 1x1 8-bit grey pages.
inline Bytes tiff(int pages) {
  Bytes b = {'I', 'I', 42, 0};
  auto u16 = [&](unsigned v) { b.push_back(v & 0xFF), b.push_back((v >> 8) & 0xFF); };
  auto u32 = [&](unsigned v) { u16(v & 0xFFFF), u16(v >> 16); };
  constexpr unsigned kIfd = 2 + 8 * 12 + 4, kPage = kIfd + 2;  // IFD, its pixel and padding
  u32(8);
  for (int p = 0; p < pages; ++p) {
    const unsigned at = 8 + p * kPage;
    u16(8);
    auto entry = [&](unsigned tag, unsigned type, unsigned value) { u16(tag), u16(type), u32(1), u32(value); };
    entry(256, 3, 1);            // width
    entry(257, 3, 1);            // length
    entry(258, 3, 8);            // bits per sample
    entry(259, 3, 1);            // no compression
    entry(262, 3, 1);            // black is zero
    entry(273, 4, at + kIfd);    // strip offset
    entry(278, 3, 1);            // rows per strip
    entry(279, 4, 1);            // strip byte count
    u32(p + 1 < pages ? at + kPage : 0);
    b.push_back(0x80);
    b.push_back(0);
  }
  return b;
}

inline std::string tempFile(const char* name, const Bytes& bytes) {
  char dir[MAX_PATH];
  GetTempPathA(MAX_PATH, dir);
  const std::string path = std::string(dir) + name;
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
  return path;
}

// Puts bytes into the prefix's URL cache under an address; the cached file.
inline std::string commitToCache(const std::wstring& url, const Bytes& bytes, const wchar_t* ext) {
  wchar_t path[MAX_PATH] = {};
  if (!CreateUrlCacheEntryW(url.c_str(), static_cast<DWORD>(bytes.size()), ext, path, 0)) return {};
  HANDLE f = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return {};
  DWORD written = 0;
  WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(f);
  const wchar_t headers[] = L"HTTP/1.1 200 OK\r\nContent-Type: image/gif\r\n\r\n";
  FILETIME none{};
  if (!CommitUrlCacheEntryW(url.c_str(), path, none, none, NORMAL_CACHE_ENTRY, const_cast<wchar_t*>(headers),
                            static_cast<DWORD>(wcslen(headers)), ext, nullptr))
    return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, path, -1, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n > 0 ? n - 1 : 0), '\0');
  WideCharToMultiByte(CP_UTF8, 0, path, -1, out.data(), n, nullptr, nullptr);
  return out;
}

}  // namespace imagefiles
