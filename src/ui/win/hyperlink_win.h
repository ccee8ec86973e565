// HyperlinkControl: turns a static text control into a link drawn in the
// browser's link colours, with a hand cursor, a tooltip naming the target,
// keyboard focus, and opening through the shell on a click, Enter or Space.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "ui/hyperlink.h"

namespace qv::ui::win {

class HyperlinkControl {
 public:
  HyperlinkControl();
  ~HyperlinkControl();
  HyperlinkControl(const HyperlinkControl&) = delete;
  HyperlinkControl& operator=(const HyperlinkControl&) = delete;

  void setLabel(const std::string& text);
  void setTarget(const std::string& text);
  // Takes over the window's messages; false when it cannot (the window is
  // gone or belongs to another thread).
  bool subclass(HWND window);
  // After a successful subclass: SS_NOTIFY, cursor, font, label and target
  // defaults, the link's area, the tooltip and the browser's colours.
  void initialise();

  // How the target is opened; ShellExecute "open" unless a test replaces
  // it.  True on success.
  std::function<bool(const std::string&)> opener;

  HWND window() const { return window_; }
  HWND tooltip() const { return tooltip_; }
  bool visited() const { return visited_; }
  bool paintsLabel() const { return paintLabel_; }
  Rgb linkColor() const { return linkColor_; }
  Rgb visitedColor() const { return visitedColor_; }
  RECT linkRect() const { return linkRect_; }
  HCURSOR handCursor() const { return hand_; }
  const std::string& label() const { return label_; }
  const std::string& target() const { return target_; }

 private:
  static LRESULT CALLBACK proc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
  LRESULT handle(UINT msg, WPARAM wp, LPARAM lp, bool& done);
  void computeLinkRect();
  void draw(HDC dc);
  void open();
  UINT alignFlags() const;
  void unsubclass();

  HWND window_ = nullptr;
  std::string label_, target_;
  bool hasLabel_ = false, hasTarget_ = false;
  HCURSOR hand_ = nullptr;
  HFONT font_ = nullptr;
  bool paintLabel_ = true;
  bool visited_ = false;
  HWND tooltip_ = nullptr;
  Rgb linkColor_ = kFreshLinkColor;
  Rgb visitedColor_ = kFreshVisitedColor;
  RECT linkRect_{};
};

}  // namespace qv::ui::win

namespace qv::ui::win {
// The About page's web (mail false) or e-mail link, or null.
HyperlinkControl* aboutPageLink(HWND page, bool mail);
}  // namespace qv::ui::win
