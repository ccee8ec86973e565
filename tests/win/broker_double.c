/* A test double of the browser's Protected Mode functions, built as
 * "ieframe.dll" and placed beside a host that is run with the native copy
 * preferred.  It says the process is a Protected Mode tab and, standing in
 * for the broker at medium integrity, writes the two keys it was given
 * writable handles to before the keys' DACL was narrowed; any other key is
 * refused.  Every call is recorded. */
#include <windows.h>

#include <stdio.h>
#include <string.h>

#define MAX_LOG 8192

static HKEY g_settings, g_main;
static char g_log[MAX_LOG];
static LONG g_calls;

static const wchar_t kSettings[] = L"Software\\Harrowlyn\\Quillvane";
static const wchar_t kMain[] = L"Software\\Microsoft\\Internet Explorer\\Main";

static void record(const char* what, const wchar_t* a, const wchar_t* b) {
  char line[512];
  snprintf(line, sizeof line, "%s %ls%s%ls\n", what, a ? a : L"", b ? "\\" : "", b ? b : L"");
  if (strlen(g_log) + strlen(line) < MAX_LOG) strcat(g_log, line);
  InterlockedIncrement(&g_calls);
}

static HKEY writable(const wchar_t* subkey) {
  if (!subkey) return NULL;
  if (_wcsicmp(subkey, kSettings) == 0) return g_settings;
  if (_wcsicmp(subkey, kMain) == 0) return g_main;
  return NULL;
}

/* Test set-up: opens the two keys for writing while their DACL allows it. */
__declspec(dllexport) BOOL WINAPI BrokerDoubleOpenWritable(void) {
  return RegCreateKeyExW(HKEY_CURRENT_USER, kSettings, 0, NULL, 0, KEY_SET_VALUE, NULL, &g_settings, NULL) ==
             ERROR_SUCCESS &&
         RegCreateKeyExW(HKEY_CURRENT_USER, kMain, 0, NULL, 0, KEY_SET_VALUE, NULL, &g_main, NULL) == ERROR_SUCCESS;
}

/* The calls made so far, one a line; their number. */
__declspec(dllexport) LONG WINAPI BrokerDoubleLog(const char** text) {
  if (text) *text = g_log;
  return g_calls;
}

__declspec(dllexport) void WINAPI BrokerDoubleClearLog(void) {
  g_log[0] = 0;
  g_calls = 0;
}

__declspec(dllexport) HRESULT WINAPI IEIsProtectedModeProcess(BOOL* result) {
  if (!result) return E_POINTER;
  *result = TRUE;
  return S_OK;
}

__declspec(dllexport) HRESULT WINAPI IERegCreateKeyEx(LPCWSTR subkey, DWORD reserved, LPWSTR cls, DWORD options,
                                                      REGSAM sam, LPSECURITY_ATTRIBUTES sa, PHKEY result,
                                                      LPDWORD disposition) {
  (void)reserved; (void)cls; (void)options; (void)sam; (void)sa;
  record("create", subkey, NULL);
  if (!writable(subkey) || !result) return E_ACCESSDENIED;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, subkey, 0, KEY_READ, result) != ERROR_SUCCESS) return E_FAIL;
  if (disposition) *disposition = REG_OPENED_EXISTING_KEY;
  return S_OK;
}

__declspec(dllexport) HRESULT WINAPI IERegSetValueEx(LPCWSTR subkey, LPCWSTR name, DWORD reserved, DWORD type,
                                                     const BYTE* data, DWORD size) {
  (void)reserved;
  record("set", subkey, name);
  HKEY key = writable(subkey);
  if (!key) return E_ACCESSDENIED;
  const LONG rc = RegSetValueExW(key, name, 0, type, data, size);
  return rc == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(rc);
}

__declspec(dllexport) HRESULT WINAPI IERegisterWritableRegistryKey(GUID guid, LPCWSTR subkey, BOOL subkeys) {
  (void)guid; (void)subkeys;
  record("register", subkey, NULL);
  return S_OK;
}

__declspec(dllexport) HRESULT WINAPI IERegisterWritableRegistryValue(GUID guid, LPCWSTR path, LPCWSTR name,
                                                                     DWORD type, const BYTE* data, DWORD max) {
  (void)guid; (void)type; (void)data; (void)max;
  record("register-value", path, name);
  return S_OK;
}

__declspec(dllexport) HRESULT WINAPI IEUnregisterWritableRegistry(GUID guid) {
  (void)guid;
  record("unregister", NULL, NULL);
  return S_OK;
}
