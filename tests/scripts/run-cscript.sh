#!/usr/bin/env bash
# Runs an automation client script (JScript or VBScript) against the built
# module with Wine's cscript, as an outside client would: the class is found
# through the registry by its ProgID and the module is loaded in-process.
#
#   run-cscript.sh MODULE.dll SCRIPT.js|SCRIPT.vbs [REPORT.xml]
#
# With REPORT.xml the run is also written as a one-test GoogleTest-style XML
# report, so that the closing summary of make check counts it.
# Must run inside scripts/wine-env (WINEPREFIX and the wineserver are set up
# there).  The module admits only hosts whose path contains "iexplore.exe",
# so cscript is run from a copy in C:\qvtest\iexplore.exe\.  The script's
# exit code is this script's (and a script must print "all checks passed"
# at its end to pass).  The module is registered with regsvr32 for the run
# and unregistered afterwards.
set -euo pipefail

dll=$(realpath "$1")
script=$(realpath "$2")
report="${3:-}"
: "${WINEPREFIX:?run inside scripts/wine-env run}"

progid='Quillvane.WhiteList'

# Wine's own programs of the module's bitness (a 64-bit module in the 64-bit
# cscript, registered by the 64-bit regsvr32 in the 64-bit registry view; a
# 32-bit one with the 32-bit programs of a WoW64 prefix), each started by the
# loader of that bitness (scripts/wine-prog).
pe=$(od -An -t u4 -j 60 -N 4 "$dll" | tr -d ' ')
machine=$(od -An -t x2 -j $((pe + 4)) -N 2 "$dll" | tr -d ' ')
case "$machine" in
  8664) sysdir=system32 bits=64 ;;
  014c) sysdir=syswow64 bits=32 ;;
  *) echo "$(basename "$dll"): not a PE module of a known machine ($machine)" >&2; exit 2 ;;
esac
top=$(cd "$(dirname "$0")/../.." && pwd)
winprog() { "$top/scripts/wine-prog" $bits "$@"; }
quiet() { "$@" >/dev/null 2>&1 </dev/null; }

host_dir="$WINEPREFIX/drive_c/qvtest$bits/iexplore.exe"
host="C:\\qvtest$bits\\iexplore.exe\\cscript.exe"
mkdir -p "$host_dir"
cp -f "$WINEPREFIX/drive_c/windows/$sysdir/cscript.exe" "$host_dir/cscript.exe"

dll_w=$(winepath -w "$dll")
script_w=$(winepath -w "$script")

# A host not started by the shell must not end itself at load.
quiet winprog reg add 'HKCU\Software\Harrowlyn\Quillvane' /v UnfatheredEnable /t REG_DWORD /d 0 /f

registered=""
unregister() {
  if [ -n "$registered" ]; then quiet winprog regsvr32 /s /u "$dll_w" || true; fi
}
trap unregister EXIT

# The module registers itself, as an installer would have it do.
if ! quiet winprog regsvr32 /s "$dll_w"; then
  echo "$(basename "$script"): regsvr32 failed" >&2
  exit 2
fi
registered=1
if ! quiet winprog reg query "HKCR\\$progid\\CLSID"; then
  echo "$(basename "$script"): $progid is not registered" >&2
  exit 2
fi

# A script engine that meets a run-time error may end the script silently
# with exit code 0, so success also needs the script's closing line.
out=$(mktemp)
set +e
winprog "$host" //nologo "$script_w" | tee "$out"
rc=${PIPESTATUS[0]}
set -e
if [ "$rc" -eq 0 ] && ! grep -q "all checks passed" "$out"; then
  echo "$(basename "$script"): ended before its last check"
  rc=3
fi
rm -f "$out"
echo "$(basename "$script"): exit code $rc"
if [ -n "$report" ]; then
  mkdir -p "$(dirname "$report")"
  failures=$(( rc == 0 ? 0 : 1 ))
  name=$(basename "$script")
  failure=""
  [ "$rc" -ne 0 ] && failure="<failure message=\"$name ended with exit code $rc\"/>"
  cat >"$report" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<testsuites tests="1" failures="$failures" disabled="0" errors="0" name="cscript">
  <testsuite name="cscript" tests="1" failures="$failures" disabled="0" errors="0">
    <testcase classname="cscript" name="$name" status="run" result="completed">$failure</testcase>
  </testsuite>
</testsuites>
XML
fi
exit $rc
