// Sound port: the PC-speaker beep and asynchronous wave playback.
#pragma once

#include <cstdint>
#include <string>

namespace qv {

class Sound {
 public:
  virtual ~Sound() = default;
  // Sounds the speaker and returns when the tone has ended.
  virtual void beep(std::uint32_t frequencyHz, std::uint32_t durationMs) = 0;
  // Whether the module's instance handle is known (resource sounds need it).
  virtual bool moduleKnown() = 0;
  // Starts playing a wave file and returns at once; a missing or unplayable
  // file is the system's business (no report).
  virtual void playFileAsync(const std::string& path) = 0;
  // Starts playing a wave resource of the module (type "WAVE"; names compare
  // without regard to case) and returns at once.
  virtual void playResourceAsync(const char* name) = 0;
};

}  // namespace qv
