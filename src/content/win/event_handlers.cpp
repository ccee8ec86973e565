// CDocEventHandler and CWindowEventHandler, the page event sinks.  For now
// both answer only their dual interfaces.
#include <windows.h>

#include "com/classes.h"
#include "com/simple_object.h"
#include "quillvane_i.h"

namespace qv::com {
namespace {
class DocEventHandler final : public SimpleDualObject<IDocEventHandler> {};
class WindowEventHandler final : public SimpleDualObject<IWindowEventHandler> {};
}  // namespace

HRESULT createDocEventHandler(REFIID iid, void** out) {
  return SimpleDualObject<IDocEventHandler>::create<DocEventHandler>(iid, out);
}
HRESULT createWindowEventHandler(REFIID iid, void** out) {
  return SimpleDualObject<IWindowEventHandler>::create<WindowEventHandler>(iid, out);
}

}  // namespace qv::com
