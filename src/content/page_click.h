// The rule by which a mouse press in a page counts as the user's own request
// for a new window: the press landed on a link, an image-map area, a form
// input or an image, or on something inside one of them below the page body.
//
// The page's element tree is reached through `PageElement`, a view small
// enough for the native tests to fake and for the Windows shell to implement
// over the browser's element interface.
#pragma once

#include <memory>
#include <optional>
#include <string>

namespace qv::content {

class PageElement {
 public:
  virtual ~PageElement() = default;
  // The element's tag name as the page reports it (any case); nullopt when
  // it cannot be read.
  virtual std::optional<std::string> tagName() = 0;
  // The parent element, or null at the top of the tree or when it cannot be
  // read.
  virtual std::unique_ptr<PageElement> parent() = 0;
};

// What a mouse press does to the window's userClicked flag.
enum class ClickEffect {
  Clear,      // the event reported button 0: userClicked = 0
  Set,        // a qualifying element was hit: userClicked = 1
  Unchanged,  // anything else: the flag is left as it was
};

// An element chain longer than this is treated as having no qualifying
// ancestor.  Real pages are far shallower; the bound only keeps a broken or
// hostile tree (one that loops back on itself) from hanging the browser.
inline constexpr int kMaxAncestors = 4096;

// Decides the effect of one mouse-down event.  `button` is the pressed
// button as read from the event (nullopt when the read failed); `source` is
// the element the press landed on (null when there is none).
ClickEffect classifyMouseDown(std::optional<long> button, PageElement* source);

// Upper-cases ASCII letters only; page tag names are ASCII.
std::string upperAscii(std::string text);

}  // namespace qv::content
