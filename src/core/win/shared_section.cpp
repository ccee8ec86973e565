// The one SharedSettings record of the module, shared by every process.
#include "core/win/shared_section.h"

#include "core/win/shared_state.h"

namespace qv {
namespace {
QV_SHARED_SECTION constinit SharedSettings g_sharedSettings{};
}  // namespace

SharedSettings& sharedSettings() { return g_sharedSettings; }

}  // namespace qv
