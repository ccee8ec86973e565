// The mouse-press rule over a small in-memory element tree.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "content/page_click.h"

namespace {

using qv::content::ClickEffect;
using qv::content::classifyMouseDown;
using qv::content::PageElement;

// A chain of elements given from the press target upwards.  Tag nullopt
// stands for an element whose tag cannot be read.  `reads` counts every
// element asked for its tag, so tests can tell where the walk stopped.
struct Chain {
  std::vector<std::optional<std::string>> tags;
  bool loops = false;  // the top element's parent is the target again
  int reads = 0;
};

class ChainElement : public PageElement {
 public:
  ChainElement(Chain& c, std::size_t i) : c_(c), i_(i) {}
  std::optional<std::string> tagName() override {
    ++c_.reads;
    return c_.tags.at(i_);
  }
  std::unique_ptr<PageElement> parent() override {
    if (i_ + 1 < c_.tags.size()) return std::make_unique<ChainElement>(c_, i_ + 1);
    if (c_.loops) return std::make_unique<ChainElement>(c_, 0);
    return nullptr;
  }

 private:
  Chain& c_;
  std::size_t i_;
};

ClickEffect press(std::optional<long> button, Chain& chain) {
  if (chain.tags.empty()) return classifyMouseDown(button, nullptr);
  ChainElement target(chain, 0);
  return classifyMouseDown(button, &target);
}

TEST(PageClick, TagWalkDecidesTheFlag) {
  struct Case {
    const char* name;
    std::optional<long> button;
    std::vector<std::optional<std::string>> tags;
    ClickEffect expected;
    int reads;  // tags read; -1 = don't care
  } cases[] = {
      {"left on link", 1, {"A", "BODY"}, ClickEffect::Set, 1},
      {"right on image", 2, {"IMG", "BODY"}, ClickEffect::Set, 1},
      {"lower-case area", 1, {"area", "map", "body"}, ClickEffect::Set, 1},
      {"input", 4, {"Input"}, ClickEffect::Set, 1},
      {"span inside link", 1, {"SPAN", "B", "A", "BODY"}, ClickEffect::Set, 3},
      {"div right below body", 1, {"DIV", "BODY"}, ClickEffect::Unchanged, 2},
      {"body itself", 1, {"BODY", "HTML"}, ClickEffect::Unchanged, 1},
      {"link above body is not reached", 1, {"DIV", "BODY", "A"}, ClickEffect::Unchanged, 2},
      {"no body, chain ends", 1, {"SPAN", "DIV", "HTML"}, ClickEffect::Unchanged, 3},
      {"button 0 clears without a walk", 0, {"A"}, ClickEffect::Clear, 0},
      {"button unreadable still walks", std::nullopt, {"TD", "A"}, ClickEffect::Set, 2},
      {"no source element", 1, {}, ClickEffect::Unchanged, 0},
      {"button 0 clears even without element", 0, {}, ClickEffect::Clear, 0},
      {"unreadable tag walks to parent", 1, {std::nullopt, "A"}, ClickEffect::Set, 2},
      {"tags that merely start alike", 1, {"ABBR", "IMAGE", "INPUTX", "AREAS", "BODY"}, ClickEffect::Unchanged, 5},
  };
  for (const auto& c : cases) {
    Chain chain{c.tags};
    EXPECT_EQ(press(c.button, chain), c.expected) << c.name;
    if (c.reads >= 0) {
      EXPECT_EQ(chain.reads, c.reads) << c.name;
    }
  }
}

TEST(PageClick, LoopingTreeEndsWithoutEffect) {
  Chain chain{{"SPAN", "DIV"}, /*loops=*/true};
  EXPECT_EQ(press(1, chain), ClickEffect::Unchanged);
  EXPECT_GT(chain.reads, qv::content::kMaxAncestors);
  EXPECT_LE(chain.reads, qv::content::kMaxAncestors + 2);
}

TEST(PageClick, DeepLinkWithinBoundStillCounts) {
  Chain chain;
  chain.tags.assign(1000, std::string("SPAN"));
  chain.tags.push_back("A");
  EXPECT_EQ(press(1, chain), ClickEffect::Set);
}

}  // namespace
