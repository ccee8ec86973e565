#include "adware/list_file.h"

#include <algorithm>
#include <cstdio>

namespace qv::adware {
namespace {

// Text of a NUL-terminated field, cut at the field's end when it has no NUL.
std::string fieldText(std::string_view field) {
  const std::size_t n = field.find('\0');
  const std::size_t len = (n == std::string_view::npos) ? field.size() - 1 : n;
  return std::string(field.substr(0, len));
}

bool isHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

}  // namespace

void scramble(std::string& bytes) {
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(bytes[i] ^ kScrambleKey[i & 1]);
}

std::vector<ListRecord> parseList(std::string_view fileBytes) {
  std::string buf(fileBytes.substr(0, kListBytes));
  scramble(buf);
  // Pad the last record as the zero-filled list buffer would.
  if (const std::size_t rest = buf.size() % kRecordSize; rest != 0) buf.append(kRecordSize - rest, '\0');
  std::vector<ListRecord> records;
  for (std::size_t off = 0; off + kRecordSize <= buf.size(); off += kRecordSize) {
    const std::string_view rec(buf.data() + off, kRecordSize);
    if (rec[0] == '\0') break;
    records.push_back({fieldText(rec.substr(0, kClassIdField)), fieldText(rec.substr(kClassIdField, kNameField))});
  }
  return records;
}

std::string encodeList(const std::vector<ListRecord>& records) {
  std::string out(std::min(records.size(), kMaxRecords) * kRecordSize, '\0');
  for (std::size_t i = 0; i < records.size() && i < kMaxRecords; ++i) {
    const std::string& id = records[i].classId;
    const std::string& name = records[i].name;
    std::copy_n(id.begin(), std::min(id.size(), kMaxClassIdLength), out.begin() + i * kRecordSize);
    std::copy_n(name.begin(), std::min(name.size(), kMaxNameLength), out.begin() + i * kRecordSize + kClassIdField);
  }
  scramble(out);
  return out;
}

void lowerInPlace(std::string& s, std::size_t from) {
  for (std::size_t i = from; i < s.size(); ++i)
    if (s[i] >= 'A' && s[i] <= 'Z') s[i] = static_cast<char>(s[i] - 'A' + 'a');
}

std::string lowerAscii(std::string_view s) {
  std::string r(s);
  lowerInPlace(r);
  return r;
}

std::size_t removeAll(std::string& s, std::string_view what, std::size_t from) {
  std::size_t lowest = std::string::npos;
  if (what.empty()) return lowest;
  std::size_t pos = from;
  while ((pos = s.find(what, pos)) != std::string::npos) {
    s.erase(pos, what.size());
    lowest = std::min(lowest, pos);
    // The erase may have joined a new occurrence that starts a little
    // before `pos` (even before `from`).
    pos = (pos >= what.size() - 1) ? pos - (what.size() - 1) : 0;
  }
  return lowest;
}

std::string listLine(std::size_t number, std::string_view name) {
  char num[24];
  std::snprintf(num, sizeof num, "%04zu", number);
  std::string line = std::string(num) + "   Adware: " + std::string(name) + " Rating: parasite";
  lowerInPlace(line);
  for (std::string_view cut : {".dll", ".exe", "<b>", "<\\b>"}) removeAll(line, cut);
  return line;
}

bool isBraceClassId(std::string_view s) {
  if (s.size() != 38 || s.front() != '{' || s.back() != '}') return false;
  for (std::size_t i = 1; i < 37; ++i) {
    const bool dash = (i == 9 || i == 14 || i == 19 || i == 24);
    if (dash ? s[i] != '-' : !isHex(s[i])) return false;
  }
  return true;
}

}  // namespace qv::adware
