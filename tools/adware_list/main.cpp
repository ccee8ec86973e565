// adware_list: builds the scrambled list file from its CSV source, and
// turns a list file back into CSV.
//   adware_list build known-addons.csv Quillvane.dat
//   adware_list dump Quillvane.dat [out.csv]     (standard output without out.csv)
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>

#include "adware_csv.h"

namespace {

bool readFile(const char* path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream ss;
  ss << in.rdbuf();
  out = ss.str();
  return true;
}

bool writeFile(const char* path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return static_cast<bool>(out);
}

int usage() {
  std::cerr << "usage: adware_list build <list.csv> <out.dat>\n"
               "       adware_list dump <list.dat> [out.csv]\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace qv::adware;
  if (argc < 3) return usage();
  const std::string cmd = argv[1];
  std::string in;
  if (!readFile(argv[2], in)) {
    std::cerr << "adware_list: cannot read " << argv[2] << "\n";
    return 1;
  }
  if (cmd == "build" && argc == 4) {
    std::vector<tool::CsvEntry> entries;
    std::string error;
    if (!tool::parseCsv(in, entries, error)) {
      std::cerr << argv[2] << ": " << error << "\n";
      return 1;
    }
    std::vector<ListRecord> records;
    for (auto& e : entries) records.push_back({e.classId, e.name});
    if (!writeFile(argv[3], encodeList(records))) {
      std::cerr << "adware_list: cannot write " << argv[3] << "\n";
      return 1;
    }
    return 0;
  }
  if (cmd == "dump" && (argc == 3 || argc == 4)) {
    const std::string csv = tool::toCsv(parseList(in));
    if (argc == 3) {
      std::cout << csv;
      return std::cout ? 0 : 1;
    }
    if (!writeFile(argv[3], csv)) {
      std::cerr << "adware_list: cannot write " << argv[3] << "\n";
      return 1;
    }
    return 0;
  }
  return usage();
}
