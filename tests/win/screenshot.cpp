#include "screenshot.h"

#include <cstdint>
#include <cstdio>
#include <vector>

namespace qvtest {
namespace {

std::uint32_t crc32(const std::uint8_t* p, size_t n, std::uint32_t c = 0xFFFFFFFFu) {
  for (size_t i = 0; i < n; ++i) {
    c ^= p[i];
    for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
  }
  return c;
}

void be32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<std::uint8_t>(v >> s));
}

void chunk(std::vector<std::uint8_t>& png, const char* tag, const std::vector<std::uint8_t>& body) {
  be32(png, static_cast<std::uint32_t>(body.size()));
  std::vector<std::uint8_t> t(tag, tag + 4);
  t.insert(t.end(), body.begin(), body.end());
  png.insert(png.end(), t.begin(), t.end());
  be32(png, crc32(t.data(), t.size()) ^ 0xFFFFFFFFu);
}

// PNG with a zlib stream of stored (uncompressed) blocks.
std::vector<std::uint8_t> encodePng(int w, int h, const std::vector<std::uint8_t>& rgbRows) {
  std::vector<std::uint8_t> raw;
  const size_t stride = static_cast<size_t>(w) * 3;
  for (int y = 0; y < h; ++y) {
    raw.push_back(0);
    raw.insert(raw.end(), rgbRows.begin() + static_cast<long>(y * stride), rgbRows.begin() + static_cast<long>((y + 1) * stride));
  }
  std::vector<std::uint8_t> z = {0x78, 0x01};
  for (size_t at = 0; at < raw.size() || at == 0;) {
    const size_t n = std::min<size_t>(65535, raw.size() - at);
    z.push_back(at + n == raw.size() ? 1 : 0);
    z.push_back(static_cast<std::uint8_t>(n));
    z.push_back(static_cast<std::uint8_t>(n >> 8));
    z.push_back(static_cast<std::uint8_t>(~n));
    z.push_back(static_cast<std::uint8_t>(~n >> 8));
    z.insert(z.end(), raw.begin() + static_cast<long>(at), raw.begin() + static_cast<long>(at + n));
    at += n;
    if (n == 0) break;
  }
  std::uint32_t a = 1, b = 0;
  for (std::uint8_t c : raw) a = (a + c) % 65521, b = (b + a) % 65521;
  be32(z, (b << 16) | a);
  std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  std::vector<std::uint8_t> ihdr;
  be32(ihdr, static_cast<std::uint32_t>(w));
  be32(ihdr, static_cast<std::uint32_t>(h));
  ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});
  chunk(png, "IHDR", ihdr);
  chunk(png, "IDAT", z);
  chunk(png, "IEND", {});
  return png;
}

#ifdef QV_SCREENSHOT_DIR
std::string g_folder = QV_SCREENSHOT_DIR;
#else
std::string g_folder = ".";
#endif

}  // namespace

void setScreenshotFolder(const std::string& folder) { g_folder = folder; }
const std::string& screenshotFolder() { return g_folder; }

bool screenshot(const RECT& r, const std::string& name) {
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return false;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  std::vector<std::uint8_t> rgb(static_cast<size_t>(w) * h * 3);
  const auto* px = static_cast<const std::uint8_t*>(bits);
  for (size_t i = 0; i < static_cast<size_t>(w) * h; ++i) {
    rgb[i * 3] = px[i * 4 + 2];
    rgb[i * 3 + 1] = px[i * 4 + 1];
    rgb[i * 3 + 2] = px[i * 4];
  }
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  CreateDirectoryA(g_folder.c_str(), nullptr);
  const std::string path = g_folder + "\\" + name + ".png";
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const auto png = encodePng(w, h, rgb);
  const bool ok = std::fwrite(png.data(), 1, png.size(), f) == png.size();
  std::fclose(f);
  return ok;
}

bool screenshotWindow(HWND w, const std::string& name, int margin) {
  RECT r{};
  if (!GetWindowRect(w, &r)) return false;
  InflateRect(&r, margin, margin);
  return screenshot(r, name);
}

bool screenshotPainted(HWND w, const std::string& name, int margin) {
  // For a window of another thread the paint messages are sent to that
  // thread and this call returns once they are handled.
  RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
  GdiFlush();
  Sleep(300);  // the display server draws what was painted
  return screenshotWindow(w, name, margin);
}

}  // namespace qvtest
