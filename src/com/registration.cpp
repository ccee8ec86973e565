#include "com/registration.h"

#include "qv_guids.h"

namespace qv::com {

const std::array<CoclassInfo, 5> kCoclasses = {{
    {"CDocEventHandler", guids::CLSID_CDocEventHandler, "CDocEventHandler Object", "Quillvane.DocEventHandler"},
    {"CWhiteList", guids::CLSID_CWhiteList, "CWhiteList Object", "Quillvane.WhiteList"},
    {"CPub", guids::CLSID_CPub, "CPub Object", "Quillvane.Pub"},
    {"CPubDomExtender", guids::CLSID_CPubDomExtender, "CPubDomExtender Object", "Quillvane.PubDomExtender"},
    {"CWindowEventHandler", guids::CLSID_CWindowEventHandler, "CWindowEventHandler Object",
     "Quillvane.WindowEventHandler"},
}};

std::string typeLibraryKeyPath() { return std::string("TypeLib\\") + guids::LIBID_Quillvane + "\\1.0"; }

namespace {

std::string join(std::string_view a, std::string_view b) {
  std::string r(a);
  r += '\\';
  r += b;
  return r;
}

struct RowSink {
  std::vector<RegRow>& rows;
  RegStage stage;
  RegRoot root;

  void key(std::string path, KeyRole role, std::optional<std::string> defaultValue = std::nullopt) {
    rows.push_back({stage, root, std::move(path), role, std::nullopt, std::move(defaultValue)});
  }
  void value(std::string path, KeyRole role, std::string name, std::string v) {
    rows.push_back({stage, root, std::move(path), role, std::move(name), std::move(v)});
  }
};

}  // namespace

std::vector<RegRow> classRows(const CoclassInfo& c, std::string_view modulePath) {
  std::vector<RegRow> rows;
  RowSink hkcr{rows, RegStage::Classes, RegRoot::ClassesRoot};
  const std::string friendly(c.friendlyName);
  const std::string clsid(c.clsid);
  const std::string progId(c.progId);
  const std::string versioned = progId + std::string(kProgIdVersionSuffix);

  hkcr.key(versioned, KeyRole::Owned, friendly);
  hkcr.key(join(versioned, "CLSID"), KeyRole::Owned, clsid);

  hkcr.key(progId, KeyRole::Owned, friendly);
  hkcr.key(join(progId, "CLSID"), KeyRole::Owned, clsid);
  hkcr.key(join(progId, "CurVer"), KeyRole::Owned, versioned);

  const std::string classKey = join("CLSID", clsid);
  hkcr.key("CLSID", KeyRole::Permanent);
  hkcr.key(classKey, KeyRole::Fresh, friendly);
  hkcr.key(join(classKey, "ProgID"), KeyRole::Owned, versioned);
  hkcr.key(join(classKey, "VersionIndependentProgID"), KeyRole::Owned, progId);
  hkcr.key(join(classKey, "Programmable"), KeyRole::Fresh);
  const std::string server = join(classKey, kModuleTypeKey);
  hkcr.key(server, KeyRole::Owned, std::string(modulePath));
  hkcr.value(server, KeyRole::Owned, "ThreadingModel", std::string(kThreadingModel));
  hkcr.value(classKey, KeyRole::Fresh, "AppID", std::string(kAppId));
  hkcr.key(join(classKey, "TypeLib"), KeyRole::Owned, guids::LIBID_Quillvane);
  return rows;
}

std::vector<RegRow> moduleRows() {
  std::vector<RegRow> rows;
  RowSink hkcr{rows, RegStage::Module, RegRoot::ClassesRoot};
  // The key named by the (empty) AppID under AppID is AppID itself.
  hkcr.key("AppID", KeyRole::Permanent, std::string(kAppIdDefault));
  hkcr.key(std::string(kModuleAppIdKey), KeyRole::Owned);
  hkcr.value(std::string(kModuleAppIdKey), KeyRole::Owned, "AppID", std::string(kAppId));

  RowSink hklm{rows, RegStage::Module, RegRoot::LocalMachine};
  std::string path;
  std::string_view rest = kBrowserHelperObjectsPath;
  while (!rest.empty()) {
    const auto cut = rest.find('\\');
    const std::string_view part = rest.substr(0, cut);
    path = path.empty() ? std::string(part) : join(path, part);
    hklm.key(path, KeyRole::SharedParent);
    rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
  }
  hklm.key(join(path, guids::CLSID_CPub), KeyRole::Owned);
  return rows;
}

std::vector<RegRow> registrationTable(std::string_view modulePath) {
  std::vector<RegRow> rows;
  for (const auto& c : kCoclasses) {
    auto r = classRows(c, modulePath);
    rows.insert(rows.end(), r.begin(), r.end());
  }
  auto m = moduleRows();
  rows.insert(rows.end(), m.begin(), m.end());
  return rows;
}

namespace {

RegStatus writeRow(Registry& registry, const RegRow& row) {
  if (row.isKey() && row.role == KeyRole::Fresh) {
    const RegStatus s = registry.deleteTree(row.root, row.path);
    if (s != RegStatus::Ok && s != RegStatus::NotFound) return s;
  }
  RegOpen k = registry.create(row.root, row.path);
  if (k.status != RegStatus::Ok) return k.status;
  if (!k.key) return RegStatus::Failed;
  if (!row.value) return RegStatus::Ok;
  return k.key->set(row.valueName.value_or(""), RegValue::string(*row.value));
}

// Whether a key holds nothing at all.  Anything the port cannot tell counts
// as "something is there".
bool keyIsEmpty(Registry& registry, RegRoot root, const std::string& path) {
  RegOpen k = registry.openReadOnly(root, path);
  if (k.status != RegStatus::Ok || !k.key) return false;
  std::string name;
  return k.key->enumSubkey(0, name) == RegStatus::NotFound && k.key->enumValue(0, name) == RegStatus::NotFound;
}

// Takes back a value registration wrote into a key that stays, when it still
// holds what was written; a value changed since is someone else's now.
RegStatus takeBackValue(Registry& registry, const RegRow& row) {
  RegOpen k = registry.open(row.root, row.path);
  if (k.status == RegStatus::NotFound) return RegStatus::Ok;
  if (k.status != RegStatus::Ok || !k.key) return k.status;
  const std::string name = row.valueName.value_or("");
  RegValue current;
  const RegStatus q = k.key->query(name, current);
  if (q == RegStatus::NotFound) return RegStatus::Ok;
  if (q != RegStatus::Ok) return q;
  const RegValue written = RegValue::string(*row.value);
  if (current.type != written.type || current.data != written.data) return RegStatus::Ok;
  const RegStatus d = k.key->deleteValue(name);
  return d == RegStatus::NotFound ? RegStatus::Ok : d;
}

RegStatus removeRow(Registry& registry, const RegRow& row) {
  switch (row.role) {
    case KeyRole::Owned:
    case KeyRole::Fresh: {
      if (!row.isKey()) return RegStatus::Ok;  // goes with its key
      const RegStatus s = registry.deleteTree(row.root, row.path);
      return s == RegStatus::NotFound ? RegStatus::Ok : s;
    }
    case KeyRole::SharedParent:
    case KeyRole::Permanent: {
      if (row.value) {
        const RegStatus s = takeBackValue(registry, row);
        if (s != RegStatus::Ok) return s;
      }
      if (row.role == KeyRole::SharedParent && row.isKey() && keyIsEmpty(registry, row.root, row.path)) {
        // Removing an empty parent is a courtesy; failing at it harms no one.
        (void)registry.deleteKey(row.root, row.path);
      }
      return RegStatus::Ok;
    }
  }
  return RegStatus::Ok;
}

}  // namespace

RegFailure applyRows(Registry& registry, const std::vector<RegRow>& rows, RegStage stage) {
  for (const auto& row : rows) {
    if (row.stage != stage) continue;
    const RegStatus s = writeRow(registry, row);
    if (s != RegStatus::Ok) return {s, row.path};
  }
  return {};
}

RegFailure removeRows(Registry& registry, const std::vector<RegRow>& rows, RegStage stage) {
  RegFailure first;
  for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
    if (it->stage != stage) continue;
    const RegStatus s = removeRow(registry, *it);
    if (s != RegStatus::Ok && first.status == RegStatus::Ok) first = {s, it->path};
  }
  return first;
}

HResult hresultFromStatus(RegStatus status) {
  switch (status) {
    case RegStatus::Ok: return kHrOk;
    case RegStatus::NotFound: return kHrFileNotFound;
    case RegStatus::AccessDenied: return kHrAccessDenied;
    case RegStatus::NotEmpty: return kHrDirNotEmpty;
    case RegStatus::Failed: return kHrFail;
  }
  return kHrFail;
}

HResult registerServer(Registry& registry, std::string_view modulePath,
                       const std::function<HResult()>& registerTypeLibrary) {
  if (modulePath.empty()) return kHrInvalidArg;
  const auto rows = registrationTable(modulePath);
  if (auto f = applyRows(registry, rows, RegStage::Classes); f.status != RegStatus::Ok)
    return hresultFromStatus(f.status);
  if (const HResult hr = registerTypeLibrary ? registerTypeLibrary() : kHrOk; hr < 0) return hr;
  return hresultFromStatus(applyRows(registry, rows, RegStage::Module).status);
}

HResult unregisterServer(Registry& registry, const std::function<HResult()>& unregisterTypeLibrary) {
  // The module path is written only as a value; removal never needs it.
  const auto rows = registrationTable("-");
  HResult first = hresultFromStatus(removeRows(registry, rows, RegStage::Classes).status);
  if (unregisterTypeLibrary) {
    RegOpen lib = registry.openReadOnly(RegRoot::ClassesRoot, typeLibraryKeyPath());
    if (lib.status != RegStatus::NotFound) {  // registered, or cannot tell: let the library decide
      lib.key.reset();
      const HResult hr = unregisterTypeLibrary();
      if (hr < 0 && first >= 0) first = hr;
    }
  }
  const HResult m = hresultFromStatus(removeRows(registry, rows, RegStage::Module).status);
  if (m < 0 && first >= 0) first = m;
  return first;
}

}  // namespace qv::com
