#include "fakes/fake_registry.h"

#include <algorithm>
#include <cctype>

namespace qv::fake {

struct FakeRegistry::Node {
  std::string name;  // as created
  std::vector<std::unique_ptr<Node>> children;  // creation order
  std::vector<std::pair<std::string, RegValue>> values;  // creation order, name as written

  Node* child(std::string_view n) const {
    const std::string l = lower(n);
    for (auto& c : children)
      if (lower(c->name) == l) return c.get();
    return nullptr;
  }
  RegValue* val(std::string_view n) {
    const std::string l = lower(n);
    for (auto& v : values)
      if (lower(v.first) == l) return &v.second;
    return nullptr;
  }
};

namespace {
std::vector<std::string> split(std::string_view path) {
  std::vector<std::string> parts;
  std::string cur;
  for (char c : path) {
    if (c == '\\') {
      if (!cur.empty()) parts.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  if (!cur.empty()) parts.push_back(cur);
  return parts;
}
}  // namespace

class FakeRegistry::Key final : public RegistryKey {
 public:
  Key(FakeRegistry& reg, RegRoot root, std::string path, bool writable)
      : reg_(reg), root_(root), path_(std::move(path)), writable_(writable) {}

  RegStatus query(std::string_view name, RegValue& out) override {
    Node* n = reg_.find(root_, path_);
    if (!n) return RegStatus::Failed;  // key deleted under an open handle
    RegValue* v = n->val(name);
    if (!v) return RegStatus::NotFound;
    out = *v;
    return RegStatus::Ok;
  }

  RegStatus set(std::string_view name, const RegValue& value) override {
    if (!writable_) return RegStatus::AccessDenied;
    if (reg_.allWritesFail_) return *reg_.allWritesFail_;
    auto f = reg_.writeFailures_.find(lower(name));
    if (f != reg_.writeFailures_.end()) return f->second;
    Node* n = reg_.find(root_, path_);
    if (!n) return RegStatus::Failed;
    reg_.writeLog_.push_back(path_ + "\\" + std::string(name));
    if (RegValue* v = n->val(name)) {
      *v = value;
    } else {
      n->values.emplace_back(std::string(name), value);
    }
    return RegStatus::Ok;
  }

  RegStatus deleteValue(std::string_view name) override {
    if (!writable_) return RegStatus::AccessDenied;
    Node* n = reg_.find(root_, path_);
    if (!n) return RegStatus::Failed;
    const std::string l = lower(name);
    auto it = std::find_if(n->values.begin(), n->values.end(),
                           [&](auto& v) { return lower(v.first) == l; });
    if (it == n->values.end()) return RegStatus::NotFound;
    n->values.erase(it);
    return RegStatus::Ok;
  }

  RegStatus enumSubkey(std::uint32_t index, std::string& name) override {
    Node* n = reg_.find(root_, path_);
    if (!n) return RegStatus::Failed;
    if (index >= n->children.size()) return RegStatus::NotFound;
    name = n->children[index]->name;
    return RegStatus::Ok;
  }

  RegStatus enumValue(std::uint32_t index, std::string& name) override {
    Node* n = reg_.find(root_, path_);
    if (!n) return RegStatus::Failed;
    if (index >= n->values.size()) return RegStatus::NotFound;
    name = n->values[index].first;
    return RegStatus::Ok;
  }

 private:
  FakeRegistry& reg_;
  RegRoot root_;
  std::string path_;
  bool writable_;
};

FakeRegistry::FakeRegistry() {
  for (auto& r : roots_) r = std::make_unique<Node>();
}
FakeRegistry::~FakeRegistry() = default;

std::string FakeRegistry::lower(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return r;
}

FakeRegistry::Node& FakeRegistry::rootNode(RegRoot root) const {
  return *roots_[static_cast<int>(root)];
}

FakeRegistry::Node* FakeRegistry::find(RegRoot root, std::string_view path) const {
  Node* n = &rootNode(root);
  for (const auto& part : split(path)) {
    n = n->child(part);
    if (!n) return nullptr;
  }
  return n;
}

RegOpen FakeRegistry::open(RegRoot root, std::string_view path) { return openKey(root, path, true); }

RegOpen FakeRegistry::openReadOnly(RegRoot root, std::string_view path) { return openKey(root, path, false); }

RegOpen FakeRegistry::openKey(RegRoot root, std::string_view path, bool writable) {
  ++openCount_;
  RegOpen r;
  const std::pair<int, std::string> id{static_cast<int>(root), lower(path)};
  auto f = openFailures_.find(id);
  if (f != openFailures_.end()) {
    r.status = f->second;
    return r;
  }
  auto w = writeOpenFailures_.find(id);
  if (writable && w != writeOpenFailures_.end()) {
    r.status = w->second;
    return r;
  }
  if (!find(root, path)) {
    r.status = RegStatus::NotFound;
    return r;
  }
  r.status = RegStatus::Ok;
  r.key = std::make_unique<Key>(*this, root, std::string(path), writable);
  return r;
}

RegOpen FakeRegistry::create(RegRoot root, std::string_view path) {
  RegOpen r;
  auto f = createFailures_.find({static_cast<int>(root), lower(path)});
  if (f != createFailures_.end()) {
    r.status = f->second;
    return r;
  }
  Node* n = &rootNode(root);
  for (const auto& part : split(path)) {
    Node* c = n->child(part);
    if (!c) {
      n->children.push_back(std::make_unique<Node>());
      c = n->children.back().get();
      c->name = part;
    }
    n = c;
  }
  r.status = RegStatus::Ok;
  r.key = std::make_unique<Key>(*this, root, std::string(path), true);
  return r;
}

RegStatus FakeRegistry::deleteKey(RegRoot root, std::string_view path) {
  auto d = deleteFailures_.find({static_cast<int>(root), lower(path)});
  if (d != deleteFailures_.end()) return d->second;
  auto parts = split(path);
  if (parts.empty()) return RegStatus::AccessDenied;
  Node* n = find(root, path);
  if (!n) return RegStatus::NotFound;
  if (!n->children.empty()) return RegStatus::NotEmpty;
  return deleteTree(root, path);
}

RegStatus FakeRegistry::deleteTree(RegRoot root, std::string_view path) {
  auto d = deleteFailures_.find({static_cast<int>(root), lower(path)});
  if (d != deleteFailures_.end()) return d->second;
  auto parts = split(path);
  if (parts.empty()) return RegStatus::AccessDenied;
  Node* parent = &rootNode(root);
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    parent = parent->child(parts[i]);
    if (!parent) return RegStatus::NotFound;
  }
  const std::string l = lower(parts.back());
  auto it = std::find_if(parent->children.begin(), parent->children.end(),
                         [&](auto& c) { return lower(c->name) == l; });
  if (it == parent->children.end()) return RegStatus::NotFound;
  parent->children.erase(it);
  return RegStatus::Ok;
}

void FakeRegistry::put(RegRoot root, std::string_view path, std::string_view name, const RegValue& value) {
  auto r = create(root, path);
  Node* n = find(root, path);
  if (RegValue* v = n->val(name)) {
    *v = value;
  } else {
    n->values.emplace_back(std::string(name), value);
  }
}

bool FakeRegistry::exists(RegRoot root, std::string_view path) const { return find(root, path) != nullptr; }

std::optional<RegValue> FakeRegistry::value(RegRoot root, std::string_view path, std::string_view name) const {
  Node* n = find(root, path);
  if (!n) return std::nullopt;
  RegValue* v = n->val(name);
  if (!v) return std::nullopt;
  return *v;
}

std::optional<std::uint32_t> FakeRegistry::dword(RegRoot root, std::string_view path, std::string_view name) const {
  auto v = value(root, path, name);
  if (!v) return std::nullopt;
  return v->asDword();
}

std::optional<std::string> FakeRegistry::string(RegRoot root, std::string_view path, std::string_view name) const {
  auto v = value(root, path, name);
  if (!v || (v->type != RegType::Sz && v->type != RegType::ExpandSz)) return std::nullopt;
  std::string s(v->data.begin(), v->data.end());
  if (!s.empty() && s.back() == '\0') s.pop_back();
  return s;
}

std::vector<std::string> FakeRegistry::subkeys(RegRoot root, std::string_view path) const {
  std::vector<std::string> r;
  if (Node* n = find(root, path))
    for (auto& c : n->children) r.push_back(c->name);
  return r;
}

std::vector<std::string> FakeRegistry::valueNames(RegRoot root, std::string_view path) const {
  std::vector<std::string> r;
  if (Node* n = find(root, path))
    for (auto& v : n->values) r.push_back(v.first);
  return r;
}

std::vector<std::string> FakeRegistry::allKeys(RegRoot root) const {
  std::vector<std::string> r;
  struct Walk {
    static void go(const Node& n, const std::string& prefix, std::vector<std::string>& out) {
      for (auto& c : n.children) {
        std::string p = prefix.empty() ? c->name : prefix + "\\" + c->name;
        out.push_back(p);
        go(*c, p, out);
      }
    }
  };
  Walk::go(rootNode(root), "", r);
  return r;
}

void FakeRegistry::failOpen(RegRoot root, std::string_view path, RegStatus status) {
  openFailures_[{static_cast<int>(root), lower(path)}] = status;
}
void FakeRegistry::failCreate(RegRoot root, std::string_view path, RegStatus status) {
  createFailures_[{static_cast<int>(root), lower(path)}] = status;
}
void FakeRegistry::failWrite(std::string_view valueName, RegStatus status) { writeFailures_[lower(valueName)] = status; }
void FakeRegistry::failAllWrites(RegStatus status) { allWritesFail_ = status; }
void FakeRegistry::failWriteOpen(RegRoot root, std::string_view path, RegStatus status) {
  writeOpenFailures_[{static_cast<int>(root), lower(path)}] = status;
}
void FakeRegistry::failDelete(RegRoot root, std::string_view path, RegStatus status) {
  deleteFailures_[{static_cast<int>(root), lower(path)}] = status;
}

}  // namespace qv::fake
