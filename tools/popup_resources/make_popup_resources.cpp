// Makes the two module resources of the popup blocker:
//   pubsound.wav     the "PUBSOUND" wave played when a popup is blocked: a
//                    short falling two-tone chirp, 8-bit mono PCM, 11025 Hz
//   blockcursor.cur  cursor 603, shown after a block: a 32x32 monochrome
//                    circle-and-bar sign, hot spot in its centre
//
// The outputs are checked in under src/res/; run this again only to change
// them:
//   g++ -std=c++20 -O2 -o /tmp/mkres tools/popup_resources/make_popup_resources.cpp
//   /tmp/mkres src/res
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

void put16(Bytes& b, std::uint32_t v) {
  b.push_back(static_cast<std::uint8_t>(v & 0xFF));
  b.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}
void put32(Bytes& b, std::uint32_t v) {
  put16(b, v & 0xFFFF);
  put16(b, v >> 16);
}
void putTag(Bytes& b, const char* tag) { b.insert(b.end(), tag, tag + 4); }

Bytes makeWave() {
  constexpr std::uint32_t kRate = 11025;
  constexpr double kPi = 3.14159265358979323846;
  // Two tones, each with a quick attack and an exponential fade.
  struct Tone { double hz; double seconds; };
  const Tone tones[] = {{1320.0, 0.30}, {880.0, 0.42}};
  Bytes samples;
  for (const Tone& t : tones) {
    const auto n = static_cast<std::uint32_t>(t.seconds * kRate);
    for (std::uint32_t i = 0; i < n; ++i) {
      const double time = static_cast<double>(i) / kRate;
      const double attack = std::min(1.0, time / 0.004);
      const double fade = std::exp(-time * 7.0);
      const double v = 0.6 * attack * fade * std::sin(2 * kPi * t.hz * time);
      samples.push_back(static_cast<std::uint8_t>(std::lround(128.0 + 127.0 * v)));
    }
  }
  Bytes b;
  putTag(b, "RIFF");
  put32(b, static_cast<std::uint32_t>(36 + samples.size()));
  putTag(b, "WAVE");
  putTag(b, "fmt ");
  put32(b, 16);
  put16(b, 1);       // PCM
  put16(b, 1);       // mono
  put32(b, kRate);   // samples per second
  put32(b, kRate);   // bytes per second
  put16(b, 1);       // block align
  put16(b, 8);       // bits per sample
  putTag(b, "data");
  put32(b, static_cast<std::uint32_t>(samples.size()));
  b.insert(b.end(), samples.begin(), samples.end());
  if (samples.size() % 2) b.push_back(0);  // RIFF chunks are word aligned
  return b;
}

Bytes makeCursor() {
  constexpr int kSize = 32;
  constexpr int kHot = 16;
  // 0 transparent, 1 black, 2 white.
  int pixel[kSize][kSize] = {};
  auto sign = [](int x, int y) {
    const double dx = x + 0.5 - kHot, dy = y + 0.5 - kHot;
    const double r = std::sqrt(dx * dx + dy * dy);
    const bool ring = r >= 9.5 && r <= 12.5;
    const bool bar = r < 12.5 && std::fabs(dx - dy) <= 2.2;
    return ring || bar;
  };
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x) {
      if (sign(x, y)) {
        pixel[y][x] = 1;
        continue;
      }
      for (int oy = -1; oy <= 1 && !pixel[y][x]; ++oy)
        for (int ox = -1; ox <= 1; ++ox) {
          const int nx = x + ox, ny = y + oy;
          if (nx >= 0 && ny >= 0 && nx < kSize && ny < kSize && sign(nx, ny)) {
            pixel[y][x] = 2;  // white halo: visible on dark pages too
            break;
          }
        }
    }
  // Monochrome cursor image: XOR mask then AND mask, bottom-up rows of 4 bytes.
  // AND 1 + XOR 0 = transparent, AND 0 + XOR 0 = black, AND 0 + XOR 1 = white.
  Bytes xorMask, andMask;
  for (int y = kSize - 1; y >= 0; --y)
    for (int byte = 0; byte < kSize / 8; ++byte) {
      std::uint8_t xo = 0, an = 0;
      for (int bit = 0; bit < 8; ++bit) {
        const int p = pixel[y][byte * 8 + bit];
        const std::uint8_t mask = static_cast<std::uint8_t>(0x80 >> bit);
        if (p == 0) an |= mask;
        if (p == 2) xo |= mask;
      }
      xorMask.push_back(xo);
      andMask.push_back(an);
    }
  Bytes image;
  put32(image, 40);          // BITMAPINFOHEADER size
  put32(image, kSize);       // width
  put32(image, kSize * 2);   // height: XOR and AND masks
  put16(image, 1);           // planes
  put16(image, 1);           // bits per pixel
  put32(image, 0);           // BI_RGB
  put32(image, static_cast<std::uint32_t>(xorMask.size() + andMask.size()));
  put32(image, 0);
  put32(image, 0);
  put32(image, 2);           // colours used
  put32(image, 0);
  put32(image, 0x00000000);  // colour 0: black
  put32(image, 0x00FFFFFF);  // colour 1: white
  image.insert(image.end(), xorMask.begin(), xorMask.end());
  image.insert(image.end(), andMask.begin(), andMask.end());

  Bytes b;
  put16(b, 0);  // reserved
  put16(b, 2);  // type: cursor
  put16(b, 1);  // one image
  b.push_back(kSize);
  b.push_back(kSize);
  b.push_back(0);  // colour count
  b.push_back(0);  // reserved
  put16(b, kHot);  // hot spot x
  put16(b, kHot);  // hot spot y
  put32(b, static_cast<std::uint32_t>(image.size()));
  put32(b, 6 + 16);  // image offset
  b.insert(b.end(), image.begin(), image.end());
  return b;
}

bool write(const std::string& path, const Bytes& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string dir = argc > 1 ? argv[1] : ".";
  if (!write(dir + "/pubsound.wav", makeWave()) || !write(dir + "/blockcursor.cur", makeCursor())) {
    std::fprintf(stderr, "cannot write the resources into %s\n", dir.c_str());
    return 1;
  }
  return 0;
}
