#include "core/tab_registry.h"

#include <memory>
#include <string>

#include "res/resource_ids.h"

namespace qv {
namespace {

// A key opened read-only whose writes take the route chosen for it.
class RoutedKey final : public RegistryKey {
 public:
  RoutedKey(std::unique_ptr<RegistryKey> read, std::string path, ProtectedModeBroker& broker, WriteRoute route)
      : read_(std::move(read)), path_(std::move(path)), broker_(broker), route_(route) {}

  RegStatus query(std::string_view name, RegValue& out) override { return read_->query(name, out); }
  RegStatus set(std::string_view name, const RegValue& value) override {
    if (route_ != WriteRoute::Broker) return RegStatus::AccessDenied;
    return broker_.setValue(path_, name, value);
  }
  // The broker writes values only.
  RegStatus deleteValue(std::string_view) override { return RegStatus::AccessDenied; }
  RegStatus enumSubkey(std::uint32_t index, std::string& name) override { return read_->enumSubkey(index, name); }
  RegStatus enumValue(std::uint32_t index, std::string& name) override { return read_->enumValue(index, name); }

 private:
  std::unique_ptr<RegistryKey> read_;
  std::string path_;
  ProtectedModeBroker& broker_;
  WriteRoute route_;
};

}  // namespace

WriteRoute chooseWriteRoute(bool protectedMode, bool brokerAvailable, RegStatus directOpen) {
  if (!protectedMode && directOpen != RegStatus::AccessDenied) return WriteRoute::Direct;
  return brokerAvailable ? WriteRoute::Broker : WriteRoute::Refused;
}

RegOpen TabRegistry::routed(std::string_view path, WriteRoute route) {
  RegOpen read = direct_.openReadOnly(RegRoot::CurrentUser, path);
  if (read.status != RegStatus::Ok) return read;
  RegOpen r;
  r.status = RegStatus::Ok;
  r.key = std::make_unique<RoutedKey>(std::move(read.key), std::string(path), broker_, route);
  return r;
}

RegOpen TabRegistry::open(RegRoot root, std::string_view path) {
  if (root != RegRoot::CurrentUser) return direct_.open(root, path);
  const bool tab = broker_.protectedMode();
  // A Protected Mode tab never asks for write access: the system would
  // refuse it, and a refused open must not cost it the reading.
  RegOpen direct;
  if (!tab) {
    direct = direct_.open(root, path);
    if (direct.status != RegStatus::AccessDenied) return direct;
  }
  return routed(path, chooseWriteRoute(tab, broker_.available(), direct.status));
}

RegOpen TabRegistry::create(RegRoot root, std::string_view path) {
  if (root != RegRoot::CurrentUser) return direct_.create(root, path);
  const bool tab = broker_.protectedMode();
  RegOpen direct;
  if (!tab) {
    direct = direct_.create(root, path);
    if (direct.status != RegStatus::AccessDenied) return direct;
  }
  const WriteRoute route = chooseWriteRoute(tab, broker_.available(), direct.status);
  // A key that exists needs no broker to be opened.
  RegOpen existing = routed(path, route);
  if (existing.status != RegStatus::NotFound) return existing;
  if (route != WriteRoute::Broker) {
    existing.status = RegStatus::AccessDenied;
    return existing;
  }
  const RegStatus made = broker_.createKey(path);
  if (made != RegStatus::Ok) {
    RegOpen r;
    r.status = made;
    return r;
  }
  return routed(path, route);
}

bool RefusalNotice::report(Messages& messages) {
  if (shown_.exchange(true)) return false;
  messages.showString(IDS_ERR_SAVEREFUSED);
  return true;
}

RefusalNotice& refusalNotice() {
  static RefusalNotice notice;
  return notice;
}

void reportSaveFailure(Messages& messages, RegStatus status, int messageId) {
  if (status == RegStatus::AccessDenied) {
    refusalNotice().report(messages);
  } else {
    messages.showString(messageId);
  }
}

}  // namespace qv
