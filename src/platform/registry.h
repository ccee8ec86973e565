// Registry port: what the logic needs of the Windows registry, in standard
// types.  Keys are reached by root and backslash-separated path; the Windows
// adapter maps this onto RegOpenKeyExA / RegCreateKeyExA, the test fake onto
// an in-memory tree with the same semantics (case-insensitive key and value
// names, typed values, deleting a key with subkeys fails).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

enum class RegRoot { CurrentUser, LocalMachine, ClassesRoot };

// What a registry call reports: the logic must tell "not there" from "there
// but refused", and both from anything else.
enum class RegStatus { Ok, NotFound, AccessDenied, NotEmpty, Failed };

// Value types, numbered as the registry numbers them.
enum class RegType : std::uint32_t { None = 0, Sz = 1, ExpandSz = 2, Binary = 3, Dword = 4, MultiSz = 7 };

struct RegValue {
  RegType type = RegType::None;
  std::vector<std::uint8_t> data;  // raw bytes as stored (strings with their terminating zero when written so)

  static RegValue dword(std::uint32_t v);
  // A string value stored with its terminating zero, as RegSetValueExA(REG_SZ) does.
  static RegValue string(std::string_view s, RegType type = RegType::Sz);
  // The 32-bit number of a REG_DWORD of exactly four bytes.
  std::optional<std::uint32_t> asDword() const;
};

// An open key.  Closing is the destructor.
class RegistryKey {
 public:
  virtual ~RegistryKey() = default;
  // Reads a value; name "" is the key's default value.
  virtual RegStatus query(std::string_view name, RegValue& out) = 0;
  virtual RegStatus set(std::string_view name, const RegValue& value) = 0;
  virtual RegStatus deleteValue(std::string_view name) = 0;
  // Name of the index-th subkey; NotFound past the last one.
  virtual RegStatus enumSubkey(std::uint32_t index, std::string& name) = 0;
  // Name of the index-th value ("" for the default value); NotFound past the
  // last one.  Adapters that cannot enumerate answer Failed, which callers
  // must read as "cannot tell".
  virtual RegStatus enumValue(std::uint32_t /*index*/, std::string& /*name*/) { return RegStatus::Failed; }
};

struct RegOpen {
  RegStatus status = RegStatus::Failed;
  std::unique_ptr<RegistryKey> key;  // set exactly when status is Ok
};

class Registry {
 public:
  virtual ~Registry() = default;
  // Opens an existing key with read and write access.
  virtual RegOpen open(RegRoot root, std::string_view path) = 0;
  // Opens read-only (for scans of keys the user may not write).
  virtual RegOpen openReadOnly(RegRoot root, std::string_view path) { return open(root, path); }
  // Creates the key and any missing parents, or opens it when it exists.
  virtual RegOpen create(RegRoot root, std::string_view path) = 0;
  // Deletes one key; NotEmpty when it has subkeys, NotFound when absent.
  virtual RegStatus deleteKey(RegRoot root, std::string_view path) = 0;
  // Deletes a key with everything below it; NotFound when absent.
  virtual RegStatus deleteTree(RegRoot root, std::string_view path) = 0;
};

}  // namespace qv
