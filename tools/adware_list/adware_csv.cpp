#include "adware_csv.h"

#include <map>

namespace qv::adware::tool {
namespace {

// Splits one CSV line into fields; false on a broken quote.
bool splitLine(std::string_view line, std::vector<std::string>& fields) {
  fields.assign(1, {});
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted) {
      if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
        fields.back() += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        fields.back() += c;
      }
    } else if (c == '"' && fields.back().empty()) {
      quoted = true;
    } else if (c == ',') {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  return !quoted;
}

std::string quote(const std::string& s) {
  if (s.find_first_of(",\"") == std::string::npos) return s;
  std::string r = "\"";
  for (char c : s) r += (c == '"') ? std::string("\"\"") : std::string(1, c);
  return r + "\"";
}

}  // namespace

bool parseCsv(std::string_view text, std::vector<CsvEntry>& out, std::string& error) {
  out.clear();
  std::map<std::string, int> seen;
  int lineNo = 0;
  std::vector<std::string> f;
  while (!text.empty()) {
    const std::size_t nl = text.find('\n');
    std::string_view line = text.substr(0, nl);
    text = (nl == std::string_view::npos) ? std::string_view{} : text.substr(nl + 1);
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) continue;
    const std::string where = "line " + std::to_string(lineNo) + ": ";
    if (!splitLine(line, f) || f.size() != 3) {
      error = where + "expected three fields clsid,name,source";
      return false;
    }
    if (lineNo == 1 && f[0] == "clsid") continue;  // the header
    if (!isBraceClassId(f[0])) {
      error = where + "bad class id \"" + f[0] + "\" (expected {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX})";
      return false;
    }
    if (f[1].empty() || f[1].size() > kMaxNameLength) {
      error = where + "name \"" + f[1] + "\" must have 1 to " + std::to_string(kMaxNameLength) + " characters";
      return false;
    }
    auto [it, fresh] = seen.emplace(lowerAscii(f[0]), lineNo);
    if (!fresh) {
      error = where + "duplicate class id " + f[0] + " (first on line " + std::to_string(it->second) + ")";
      return false;
    }
    if (out.size() == kMaxRecords) {
      error = where + "more than " + std::to_string(kMaxRecords) + " records";
      return false;
    }
    out.push_back({f[0], f[1], f[2], lineNo});
  }
  return true;
}

std::string toCsv(const std::vector<ListRecord>& records) {
  std::string out = "clsid,name,source\n";
  for (const ListRecord& r : records) out += quote(r.classId) + "," + quote(r.name) + ",\n";
  return out;
}

}  // namespace qv::adware::tool
