// The one SharedSettings record of the module, shared by every process.
#include "core/win/shared_section.h"

#include "core/win/shared_state.h"

namespace qv {
namespace {
// The section's only variable, so it sits at the section's start.
QV_SHARED_SECTION constinit SharedSettings g_sharedSettings{};
}  // namespace

SharedSettings& sharedSettings() { return g_sharedSettings; }

}  // namespace qv
