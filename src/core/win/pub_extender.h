// CPubDomExtender: the page's external object (window.external).  Its one
// method opens the options sheet of the window it belongs to.  It holds a
// weak back reference to its CPub, cleared when the CPub lets it go first.
#pragma once

#include "com/simple_object.h"
#include "quillvane_i.h"

namespace qv::core::win {

class Pub;

class PubDomExtender final : public com::SimpleDualObject<IPubDomExtender> {
 public:
  STDMETHODIMP EditOptions() override;

  void setOwner(Pub* owner) { owner_ = owner; }
  Pub* owner() const { return owner_; }

 private:
  Pub* owner_ = nullptr;
};

}  // namespace qv::core::win
