#include "platform/win/object_security.h"

#include <sddl.h>

#include <vector>

#include "com/handle.h"

namespace qv::win {
namespace {

// The string form of the process user's SID; empty when it cannot be had.
std::wstring userSid() {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return {};
  com::UniqueHandle token(raw);
  DWORD size = 0;
  GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  if (size == 0) return {};
  std::vector<BYTE> buffer(size);
  if (!GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) return {};
  LPWSTR text = nullptr;
  if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) return {};
  std::wstring sid(text);
  LocalFree(text);
  return sid;
}

struct Descriptor {
  std::wstring sddl;
  PSECURITY_DESCRIPTOR sd = nullptr;  // kept for the life of the process
  SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};

  Descriptor() {
    const std::wstring user = userSid();
    if (user.empty()) return;
    sddl = L"D:(A;;GA;;;" + user + L")(A;;GA;;;SY)S:(ML;;NW;;;LW)";
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &sd, nullptr)) {
      sd = nullptr;
      return;
    }
    attributes.lpSecurityDescriptor = sd;
  }
};

const Descriptor& descriptor() {
  static const Descriptor d;
  return d;
}

}  // namespace

const std::wstring& sharedObjectSddl() { return descriptor().sddl; }

SECURITY_ATTRIBUTES* sharedObjectAttributes() {
  const Descriptor& d = descriptor();
  return d.sd ? const_cast<SECURITY_ATTRIBUTES*>(&d.attributes) : nullptr;
}

}  // namespace qv::win
