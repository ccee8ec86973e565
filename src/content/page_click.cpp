#include "content/page_click.h"

#include <array>
#include <string_view>

namespace qv::content {

std::string upperAscii(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

namespace {

bool qualifies(const std::string& tag) {
  static constexpr std::array<std::string_view, 4> kTags{"A", "AREA", "INPUT", "IMG"};
  for (auto t : kTags)
    if (tag == t) return true;
  return false;
}

}  // namespace

ClickEffect classifyMouseDown(std::optional<long> button, PageElement* source) {
  if (button && *button == 0) return ClickEffect::Clear;
  if (!source) return ClickEffect::Unchanged;

  // The element the press landed on, then its ancestors, up to (not
  // including) the body.  A missing tag name reads as the empty tag, which
  // qualifies for nothing and lets the walk go on to the parent.
  std::unique_ptr<PageElement> owned;
  PageElement* current = source;
  for (int depth = 0; depth <= kMaxAncestors; ++depth) {
    const std::string tag = upperAscii(current->tagName().value_or(std::string{}));
    if (tag == "BODY") return ClickEffect::Unchanged;
    if (qualifies(tag)) return ClickEffect::Set;
    owned = current->parent();
    if (!owned) return ClickEffect::Unchanged;
    current = owned.get();
  }
  return ClickEffect::Unchanged;
}

}  // namespace qv::content
