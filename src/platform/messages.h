// Message port: every message the user sees is an owner-less message box
// with the product's caption, the information icon and an OK button.
#pragma once

#include <string>

namespace qv {

class Messages {
 public:
  virtual ~Messages() = default;
  // Shows the string-table text with this id (resource_ids.h).
  virtual void showString(int stringId) = 0;
  // Shows a literal or formatted text.
  virtual void showText(const std::string& text) = 0;
};

}  // namespace qv
