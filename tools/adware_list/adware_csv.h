// The readable source of the adware list: CSV with the header
// "clsid,name,source", one add-on a line, fields quoted as RFC 4180 does
// when they hold a comma or a quote.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "adware/list_file.h"

namespace qv::adware::tool {

struct CsvEntry {
  std::string classId;
  std::string name;
  std::string source;
  int line = 0;
};

// Parses and checks the CSV text.  On the first fault, returns false with
// `error` naming the line and the fault: a bad class id, an empty name or
// one over 29 characters, a class id listed twice (ignoring case), more than
// 5800 records, a line with the wrong number of fields.
bool parseCsv(std::string_view text, std::vector<CsvEntry>& out, std::string& error);

// CSV text of list records (source column left empty: the list file does
// not keep it).
std::string toCsv(const std::vector<ListRecord>& records);

}  // namespace qv::adware::tool
