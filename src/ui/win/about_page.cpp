// The "About Quillvane" page of the options sheet (dialog 235): the
// program's name and version from the module's version resource, and the
// links to the project's web site and support address.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <memory>
#include <string>
#include <vector>

#include "com/module.h"
#include "ui/hyperlink.h"
#include "ui/links.h"
#include "ui/win/hyperlink_win.h"
#include "ui/win/sheet_pages.h"

namespace qv::ui::win {
namespace {

constexpr int kAboutDialog = 235;
constexpr int kAboutLabel = 202;
constexpr int kWebLink = 1001;
constexpr int kMailLink = 1002;

// The page object: its two links live as long as the page's window.
struct AboutPageState {
  HyperlinkControl web;
  HyperlinkControl mail;
};

HINSTANCE pageModule() {
  return com::moduleInstance() ? com::moduleInstance() : GetModuleHandleA(nullptr);
}

// "FileVersion" under 040904B0 of this module's version resource; "" when
// any step fails.
std::string moduleFileVersion() {
  char path[MAX_PATH] = {};
  const DWORD n = GetModuleFileNameA(pageModule(), path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return {};
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeA(path, &handle);
  if (size == 0) return {};
  std::vector<char> block(size);
  if (!GetFileVersionInfoA(path, 0, size, block.data())) return {};
  char* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(block.data(), "\\StringFileInfo\\040904B0\\FileVersion", reinterpret_cast<void**>(&value),
                      &length) ||
      !value || length == 0)
    return {};
  std::string v(value, length);
  if (const auto z = v.find('\0'); z != std::string::npos) v.resize(z);
  return v;
}

void makeLink(HyperlinkControl& link, HWND control, const std::string& label, const std::string& target) {
  link.setLabel(label);
  link.setTarget(target);
  if (link.subclass(control)) link.initialise();
}

INT_PTR CALLBACK aboutProc(HWND page, UINT msg, WPARAM, LPARAM lp) {
  switch (msg) {
    case WM_INITDIALOG: {
      centreSheetIfStartPage(page);
      if (const auto text = aboutText(moduleFileVersion())) SetDlgItemTextA(page, kAboutLabel, text->c_str());
      auto* state = new AboutPageState();
      SetWindowLongPtrA(page, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
      makeLink(state->web, GetDlgItem(page, kWebLink), std::string(kWebHost), std::string(kWebAddress));
      makeLink(state->mail, GetDlgItem(page, kMailLink), std::string(kSupportEmail),
               std::string(kMailtoPrefix) + std::string(kSupportEmail));
      return TRUE;
    }
    case WM_NOTIFY: {
      // Every page notification is accepted; the page holds no values.
      const auto* hdr = reinterpret_cast<const NMHDR*>(lp);
      if (hdr && hdr->code == PSN_APPLY) SetWindowLongPtrA(page, DWLP_MSGRESULT, PSNRET_NOERROR);
      else SetWindowLongPtrA(page, DWLP_MSGRESULT, 0);
      return TRUE;
    }
    case WM_DESTROY:
      delete reinterpret_cast<AboutPageState*>(GetWindowLongPtrA(page, DWLP_USER));
      SetWindowLongPtrA(page, DWLP_USER, 0);
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

SheetPage aboutPage() { return {kAboutDialog, &aboutProc}; }

// The page's links, for tests and the demo: null when `page` is not an
// About page.
HyperlinkControl* aboutPageLink(HWND page, bool mail) {
  auto* state = reinterpret_cast<AboutPageState*>(GetWindowLongPtrA(page, DWLP_USER));
  if (!state) return nullptr;
  return mail ? &state->mail : &state->web;
}

}  // namespace qv::ui::win
