// Recording message port: tests read back what the user would have seen.
#pragma once

#include <string>
#include <vector>

#include "platform/messages.h"

namespace qv::fake {

class FakeMessages final : public Messages {
 public:
  void showString(int stringId) override { shown.push_back("#" + std::to_string(stringId)); }
  void showText(const std::string& text) override { shown.push_back(text); }
  // String ids appear as "#<id>", literal texts as themselves.
  std::vector<std::string> shown;
};

}  // namespace qv::fake
