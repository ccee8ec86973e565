// The known-adware list file "Quillvane.dat": fixed 69-byte records (class
// id text in a 39-byte field, name in a 30-byte field, both NUL-terminated),
// no header, scrambled with a two-byte XOR key.  The list ends at the first
// record whose first byte is zero, and after kMaxRecords records at most.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv::adware {

inline constexpr std::size_t kClassIdField = 39;  // 38 characters and the NUL
inline constexpr std::size_t kNameField = 30;     // 29 characters and the NUL
inline constexpr std::size_t kRecordSize = kClassIdField + kNameField;
inline constexpr std::size_t kMaxRecords = 5800;
inline constexpr std::size_t kListBytes = kRecordSize * kMaxRecords;  // 400200
inline constexpr std::size_t kMaxClassIdLength = kClassIdField - 1;
inline constexpr std::size_t kMaxNameLength = kNameField - 1;

// Key byte for even file offsets, then for odd ones.  Scrambling and
// descrambling are the same operation.
inline constexpr std::uint8_t kScrambleKey[2] = {0x5B, 0xC6};

struct ListRecord {
  std::string classId;  // as stored; empty never (an empty class id ends the list)
  std::string name;     // may be empty: such a record keeps its number but is not shown
};

// XORs every byte with the key byte of its offset's parity.
void scramble(std::string& bytes);

// Records of a list file's raw (scrambled) bytes.  Only the first kListBytes
// bytes count; a short last record reads as if zero-filled; a field without
// its NUL is cut at the field's end.
std::vector<ListRecord> parseList(std::string_view fileBytes);

// The scrambled file bytes of `records` (no terminating zero record: the end
// of the file ends the list).  Fields longer than their limits are cut; the
// list tool checks them before.
std::string encodeList(const std::vector<ListRecord>& records);

// The list box line of record `number` (counted from 1): the number padded to
// four digits, "   Adware: ", the name, " Rating: parasite", lower-cased, with
// ".dll", ".exe", "<b>" and "<\b>" removed in that order.
std::string listLine(std::size_t number, std::string_view name);

// A-Z to a-z; every other byte as it is.
std::string lowerAscii(std::string_view s);
void lowerInPlace(std::string& s, std::size_t from = 0);

// Removes `what` from `s` until none is left, including occurrences that a
// removal joins together.  The search starts at `from`: the caller knows that
// no occurrence starts before it.  Returns the lowest offset at which something was removed, or
// std::string::npos when nothing was.
std::size_t removeAll(std::string& s, std::string_view what, std::size_t from = 0);

// Whether `s` is a class id in the registry's brace form
// {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX} (hex digits of either case).
bool isBraceClassId(std::string_view s);

}  // namespace qv::adware
