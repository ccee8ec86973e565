#include "platform/win/registry_win.h"

#include <string>

#include "com/handle.h"

namespace qv::win {
namespace {

HKEY rootKey(RegRoot root) {
  switch (root) {
    case RegRoot::CurrentUser: return HKEY_CURRENT_USER;
    case RegRoot::LocalMachine: return HKEY_LOCAL_MACHINE;
    case RegRoot::ClassesRoot: return HKEY_CLASSES_ROOT;
  }
  return HKEY_CURRENT_USER;
}

class Win32Key final : public RegistryKey {
 public:
  explicit Win32Key(HKEY key) : owner_(key), key_(key) {}
  Win32Key(const Win32Key&) = delete;
  Win32Key& operator=(const Win32Key&) = delete;

  RegStatus query(std::string_view name, RegValue& out) override {
    const std::string n(name);
    DWORD type = 0;
    DWORD size = 0;
    LONG rc = RegQueryValueExA(key_, n.c_str(), nullptr, &type, nullptr, &size);
    if (rc != ERROR_SUCCESS) return regStatusFromError(rc);
    std::vector<std::uint8_t> data(size);
    rc = RegQueryValueExA(key_, n.c_str(), nullptr, &type, data.empty() ? nullptr : data.data(), &size);
    if (rc != ERROR_SUCCESS) return regStatusFromError(rc);
    data.resize(size);
    out.type = static_cast<RegType>(type);
    out.data = std::move(data);
    return RegStatus::Ok;
  }

  RegStatus set(std::string_view name, const RegValue& value) override {
    const std::string n(name);
    const LONG rc = RegSetValueExA(key_, n.c_str(), 0, static_cast<DWORD>(value.type),
                                   value.data.empty() ? nullptr : value.data.data(),
                                   static_cast<DWORD>(value.data.size()));
    return regStatusFromError(rc);
  }

  RegStatus deleteValue(std::string_view name) override {
    const std::string n(name);
    return regStatusFromError(RegDeleteValueA(key_, n.c_str()));
  }

  RegStatus enumSubkey(std::uint32_t index, std::string& name) override {
    char buf[256];
    DWORD len = sizeof buf;
    const LONG rc = RegEnumKeyExA(key_, index, buf, &len, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) return RegStatus::NotFound;
    if (rc != ERROR_SUCCESS) return regStatusFromError(rc);
    name.assign(buf, len);
    return RegStatus::Ok;
  }

  RegStatus enumValue(std::uint32_t index, std::string& name) override {
    char buf[16384];  // the registry's limit on value names, plus the terminator
    DWORD len = sizeof buf;
    const LONG rc = RegEnumValueA(key_, index, buf, &len, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) return RegStatus::NotFound;
    if (rc != ERROR_SUCCESS) return regStatusFromError(rc);
    name.assign(buf, len);
    return RegStatus::Ok;
  }

 private:
  com::RegKey owner_;
  HKEY key_;  // owner_.get(), kept for the many calls below
};

RegOpen openWith(RegRoot root, std::string_view path, REGSAM access) {
  const std::string p(path);
  HKEY key = nullptr;
  const LONG rc = RegOpenKeyExA(rootKey(root), p.c_str(), 0, access, &key);
  RegOpen r;
  r.status = regStatusFromError(rc);
  if (rc == ERROR_SUCCESS) r.key = std::make_unique<Win32Key>(key);
  return r;
}

}  // namespace

RegStatus regStatusFromError(LONG error) {
  switch (error) {
    case ERROR_SUCCESS: return RegStatus::Ok;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return RegStatus::NotFound;
    case ERROR_ACCESS_DENIED: return RegStatus::AccessDenied;
    default: return RegStatus::Failed;
  }
}

bool hasTwoRegistryViews() {
  if (sizeof(void*) == 8) return true;
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

REGSAM wholeRegistryView() { return hasTwoRegistryViews() ? KEY_WOW64_64KEY : 0; }

RegOpen Win32Registry::open(RegRoot root, std::string_view path) {
  return openWith(root, path, KEY_READ | KEY_WRITE | view_);
}

RegOpen Win32Registry::openReadOnly(RegRoot root, std::string_view path) {
  return openWith(root, path, KEY_READ | view_);
}

RegOpen Win32Registry::create(RegRoot root, std::string_view path) {
  const std::string p(path);
  HKEY key = nullptr;
  const LONG rc = RegCreateKeyExA(rootKey(root), p.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_READ | KEY_WRITE | view_, nullptr, &key, nullptr);
  RegOpen r;
  r.status = regStatusFromError(rc);
  if (rc == ERROR_SUCCESS) r.key = std::make_unique<Win32Key>(key);
  return r;
}

RegStatus Win32Registry::deleteKey(RegRoot root, std::string_view path) {
  const std::string p(path);
  // RegDeleteKeyA refuses a key with subkeys (ERROR_ACCESS_DENIED on NT);
  // tell that apart by looking for a first subkey.
  com::RegKey key;
  LONG rc = RegOpenKeyExA(rootKey(root), p.c_str(), 0, KEY_READ | view_, key.Receive());
  if (rc != ERROR_SUCCESS) return regStatusFromError(rc);
  char buf[256];
  DWORD len = sizeof buf;
  rc = RegEnumKeyExA(key.get(), 0, buf, &len, nullptr, nullptr, nullptr, nullptr);
  key.reset();
  if (rc == ERROR_SUCCESS) return RegStatus::NotEmpty;
  return regStatusFromError(RegDeleteKeyExA(rootKey(root), p.c_str(), view_, 0));
}

RegStatus Win32Registry::deleteTree(RegRoot root, std::string_view path) {
  const std::string p(path);
  // With a subkey name, RegDeleteTreeA removes that key itself as well.
  if (view_ == 0) return regStatusFromError(RegDeleteTreeA(rootKey(root), p.c_str()));
  // RegDeleteTreeA takes no view: empty the key through a handle opened in
  // the view, then delete the key itself in the view.
  com::RegKey key;
  LONG rc = RegOpenKeyExA(rootKey(root), p.c_str(), 0, KEY_READ | KEY_WRITE | DELETE | view_, key.Receive());
  if (rc != ERROR_SUCCESS) return regStatusFromError(rc);
  rc = RegDeleteTreeA(key.get(), nullptr);
  key.reset();
  if (rc != ERROR_SUCCESS) return regStatusFromError(rc);
  return regStatusFromError(RegDeleteKeyExA(rootKey(root), p.c_str(), view_, 0));
}

}  // namespace qv::win
