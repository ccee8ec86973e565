// The page port over the browser's HTML object model, the URL cache port
// over WinINet and urlmon, and the frame counter over GDI+.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <functional>
#include <memory>

#include "core/shared_settings.h"
#include "platform/page.h"

namespace qv::popup {
class PubHost;
}

namespace qv::content::win {

// The document behind any interface of an HTML document object (queried for
// IHTMLDocument2); null when it is not one.
std::unique_ptr<page::Document> documentFromDispatch(IDispatch* document);

class WinInetUrlCache final : public page::UrlCache {
 public:
  page::CacheAnswer query(const std::string& address, std::uint32_t bufferBytes) override;
  std::optional<std::string> download(const std::string& address) override;
  std::optional<page::FileStamp> stamp(const std::string& path) override;
};

// Needs GDI+ started in the process (the helper object starts it when it
// connects to its browser).
class GdiplusFrameCounter final : public page::FrameCounter {
 public:
  std::vector<std::uint32_t> frameCounts(const std::string& path) override;
};

// The sweep of a browser document with the process's own memo, cache and
// frame counter: what the helper object's timer and shortcut call.
// findPubForFocus gives the browser side of the helper object owning the
// focused window (for the status notice), or null.  onHidden may be empty.
// False when memory ran out and the sweep stopped early.
bool sweepHtmlDocument(IDispatch* document, int flags, SharedSettings& settings,
                       std::function<popup::PubHost*()> findPubForFocus,
                       std::function<void(const std::string&)> onHidden = {});

}  // namespace qv::content::win
