// In-memory registry with Windows semantics: case-insensitive key and value
// names (original case kept), typed values, subkeys enumerated in creation
// order, deleting a key that has subkeys fails.  Tests can make any open,
// create or write fail, and read back the order in which values were written.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace qv::fake {

class FakeRegistry final : public Registry {
 public:
  struct Node;

  FakeRegistry();
  ~FakeRegistry() override;

  RegOpen open(RegRoot root, std::string_view path) override;
  RegOpen openReadOnly(RegRoot root, std::string_view path) override;
  RegOpen create(RegRoot root, std::string_view path) override;
  RegStatus deleteKey(RegRoot root, std::string_view path) override;
  RegStatus deleteTree(RegRoot root, std::string_view path) override;

  // --- set-up and inspection for tests ---
  void put(RegRoot root, std::string_view path, std::string_view name, const RegValue& value);
  bool exists(RegRoot root, std::string_view path) const;
  std::optional<RegValue> value(RegRoot root, std::string_view path, std::string_view name) const;
  std::optional<std::uint32_t> dword(RegRoot root, std::string_view path, std::string_view name) const;
  std::optional<std::string> string(RegRoot root, std::string_view path, std::string_view name) const;
  std::vector<std::string> subkeys(RegRoot root, std::string_view path) const;
  std::vector<std::string> valueNames(RegRoot root, std::string_view path) const;
  // Every key path below root ("A\\B\\C"), depth first, in creation order.
  std::vector<std::string> allKeys(RegRoot root) const;

  // Failure injection.  Paths compare without regard to case.
  void failOpen(RegRoot root, std::string_view path, RegStatus status);
  void failCreate(RegRoot root, std::string_view path, RegStatus status);
  void failWrite(std::string_view valueName, RegStatus status);  // on any key
  void failAllWrites(RegStatus status);
  // open() (read and write access) of this key fails; openReadOnly() works.
  void failWriteOpen(RegRoot root, std::string_view path, RegStatus status);
  // deleteKey()/deleteTree() of this key fail.
  void failDelete(RegRoot root, std::string_view path, RegStatus status);

  // Values written through set(), in order, as "path\\name" (path as the
  // key was opened).
  const std::vector<std::string>& writeLog() const { return writeLog_; }
  void clearWriteLog() { writeLog_.clear(); }
  int openCount() const { return openCount_; }

 private:
  class Key;
  RegOpen openKey(RegRoot root, std::string_view path, bool writable);
  Node* find(RegRoot root, std::string_view path) const;
  Node& rootNode(RegRoot root) const;
  static std::string lower(std::string_view s);

  std::unique_ptr<Node> roots_[3];
  std::map<std::pair<int, std::string>, RegStatus> openFailures_;
  std::map<std::pair<int, std::string>, RegStatus> createFailures_;
  std::map<std::string, RegStatus> writeFailures_;
  std::map<std::pair<int, std::string>, RegStatus> writeOpenFailures_;
  std::map<std::pair<int, std::string>, RegStatus> deleteFailures_;
  std::optional<RegStatus> allWritesFail_;
  std::vector<std::string> writeLog_;
  int openCount_ = 0;
};

}  // namespace qv::fake
