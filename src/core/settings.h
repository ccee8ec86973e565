// The settings store: loads the shared settings record from the user's
// registry once per session and writes it back, whole or one switch at a
// time.  It works on whichever SharedSettings it is given; in the module
// that is the one record all processes share.
//
// Registry layout: key "Software\Harrowlyn\Quillvane" under the current
// user; every value is REG_DWORD except "SoundFile" (REG_SZ).  A value that
// is missing, of another type, or (for "SoundFile") not a zero-terminated
// string that fits the 260-byte field leaves its field as it was.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/shared_settings.h"
#include "platform/messages.h"
#include "platform/registry.h"

namespace qv {

inline constexpr std::string_view kCompanyKeyPrefix = "Software\\Harrowlyn\\";
inline constexpr std::string_view kProductName = "Quillvane";

// "Software\Harrowlyn\Quillvane", the settings key under the current user.
std::string settingsKeyPath();

// The four switches the tray and context menus flip directly.
enum class Toggle { PopupEnable, FloatingEnable, BlockFlash, BlockImages };

// Registry value name of a switch ("PopupEnable", ...).
std::string_view toggleValueName(Toggle which);

// Copies a "SoundFile" registry value into the 260-byte field when it is a
// string (REG_SZ or REG_EXPAND_SZ) of at most 260 bytes holding a
// terminating zero; the rest of the field is zero-filled.  Returns false and
// leaves the field untouched otherwise.
bool copySoundFile(const RegValue& value, char (&field)[kSoundFileSize]);

// The text of the 260-byte field up to its first zero, at most 259 bytes, so
// that what is saved can always be loaded again.
std::string soundFileText(const char (&field)[kSoundFileSize]);

class SettingsStore {
 public:
  SettingsStore(Registry& registry, Messages& messages, SharedSettings& settings)
      : registry_(registry), messages_(messages), settings_(settings) {}

  // Reads the registry into the record, once per session: the first call
  // sets settingsLoaded before anything else, so a failed load is not
  // retried.  A missing key is created holding only "PopupEnable".
  // Messages: 510 when the key cannot be created, 508 when it exists but
  // cannot be opened.
  void load();

  // Flips one switch (any non-zero becomes 0, 0 becomes 1) and stores the
  // new value at once.  The new value holds for the session either way; a
  // write that fails shows 504, one refused (AccessDenied) the process's
  // refusal notice, once.  Returns the new value.
  std::int32_t toggle(Toggle which);

  // Stores blockedTotal; silent on failure.  The caller holds the data mutex.
  void saveTotal();

  // Writes every persistent field but blockedTotal, in the fixed order.
  // Message 504, once, when the key cannot be opened or any write fails;
  // the refusal notice instead when the failure is a refusal.
  void saveAll();

  SharedSettings& settings() { return settings_; }

 private:
  Registry& registry_;
  Messages& messages_;
  SharedSettings& settings_;
};

}  // namespace qv
