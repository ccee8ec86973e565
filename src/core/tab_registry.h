// Where the module's registry writes go.  A browser tab in Protected Mode
// runs at low integrity: it may read the user's keys but not write them, so
// a key is opened there with read access only and its writes go through the
// browser's broker, which writes the keys registered as writable at install
// time.  A medium-integrity process writes directly; when a key refuses it
// writes all the same (its DACL), the broker is tried before giving up.
// When no way is left the write reports AccessDenied, and the caller keeps
// the value for the session and tells the user once (refusalNotice).
#pragma once

#include <atomic>
#include <string_view>

#include "platform/broker.h"
#include "platform/messages.h"
#include "platform/registry.h"

namespace qv {

enum class WriteRoute {
  Direct,   // a key opened for writing
  Broker,   // read-only key, values written by the browser's broker
  Refused,  // read-only key, every write reports AccessDenied
};

// The route of a key's writes, from whether the process is a Protected Mode
// tab, whether the broker is there, and what opening the key for writing
// directly gave (asked only of a process that is not a Protected Mode tab).
WriteRoute chooseWriteRoute(bool protectedMode, bool brokerAvailable, RegStatus directOpen);

// A Registry that routes the writes of the current user's keys as above.
// Other roots pass through unchanged.
class TabRegistry final : public Registry {
 public:
  TabRegistry(Registry& direct, ProtectedModeBroker& broker) : direct_(direct), broker_(broker) {}

  RegOpen open(RegRoot root, std::string_view path) override;
  RegOpen openReadOnly(RegRoot root, std::string_view path) override { return direct_.openReadOnly(root, path); }
  RegOpen create(RegRoot root, std::string_view path) override;
  RegStatus deleteKey(RegRoot root, std::string_view path) override { return direct_.deleteKey(root, path); }
  RegStatus deleteTree(RegRoot root, std::string_view path) override { return direct_.deleteTree(root, path); }

 private:
  RegOpen routed(std::string_view path, WriteRoute route);

  Registry& direct_;
  ProtectedModeBroker& broker_;
};

// The one message a process shows for changes that cannot be stored: the
// first refusal shows IDS_ERR_SAVEREFUSED, later ones are silent (the
// change still holds for the session).
class RefusalNotice {
 public:
  // Shows the message when it was not shown yet; true when it showed it.
  bool report(Messages& messages);
  bool reported() const { return shown_.load(); }
  void reset() { shown_.store(false); }

 private:
  std::atomic<bool> shown_{false};
};

// The process's notice.
RefusalNotice& refusalNotice();

// Tells the user of a failed save: a refused write (AccessDenied) through
// the process's notice, once; any other failure with `messageId`.
void reportSaveFailure(Messages& messages, RegStatus status, int messageId);

}  // namespace qv
