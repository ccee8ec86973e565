// An outside automation client of the white list object, in JScript.  JScript
// passes every argument by value, so the methods with out-arguments must
// refuse its values rather than write through them.  Exits with the number
// of failed checks.
var failures = 0;

function check(ok, what) {
  if (!ok) {
    WScript.Echo("FAIL: " + what);
    failures++;
  }
}

// Script engines may report an automation error either as the HRESULT
// itself or as their own run-time error of the same meaning.
var TYPE_MISMATCH = [0x80020005, 0x800A000D];
var BAD_PARAM_COUNT = [0x8002000E, 0x800A01C2];
var UNKNOWN_MEMBER = [0x80020006, 0x80020003, 0x800A01B6];

function expectError(fn, codes, what) {
  try {
    fn();
  } catch (e) {
    var n = e.number >>> 0;
    for (var i = 0; i < codes.length; i++)
      if (n == codes[i]) return;
    check(false, what + ": error 0x" + n.toString(16));
    return;
  }
  check(false, what + ": no error");
}

function sites(wl, candidates) {
  // The list as seen through Find, for a fixed set of candidate sites.
  var found = [];
  for (var i = 0; i < candidates.length; i++)
    if (wl.Find("http://" + candidates[i] + "/")) found.push(candidates[i]);
  return found.join(",");
}

var wl = new ActiveXObject("Quillvane.WhiteList");
var all = ["example.com", "shop.example.com", "b.test", "42", "news.test"];

wl.Add("Example.COM");
wl.Add("b.test");
wl.Add("EXAMPLE.com");
check(wl.Find("http://example.com/page") === true, "Find gives a boolean true");
check(wl.Find("http://shop.example.com/x") === false, "no subdomain matching");
check(wl.Find("HTTP://EXAMPLE.COM/") === true, "Find ignores case");
check(sites(wl, all) == "example.com,b.test", "after Add: " + sites(wl, all));

wl.Add(42);  // converted to text
check(wl.Find("http://42/") === true, "a number is added as its text");
wl.Add("news.test/sport");
check(wl.Find("http://news.test/sport/today") === true, "path prefix");
check(wl.Find("http://news.test/weather") === false, "other path");

wl.Delete("B.TEST");
wl.Delete("not.there");
check(sites(wl, all) == "example.com,42", "after Delete: " + sites(wl, all));

// Out-arguments by value are refused, not written through.
var s = "untouched";
expectError(function () { wl.GetFirst(s); }, TYPE_MISMATCH, "GetFirst with a value");
expectError(function () { wl.GetNext(7); }, TYPE_MISMATCH, "GetNext with a number");
expectError(function () { wl.GetWhiteList(s); }, TYPE_MISMATCH, "GetWhiteList with a value");
check(s == "untouched", "the value was not changed");

// Argument counts and types.
expectError(function () { wl.Add(); }, BAD_PARAM_COUNT, "Add without argument");
expectError(function () { wl.Add("a", "b"); }, BAD_PARAM_COUNT, "Add with two");
expectError(function () { wl.GetFirst(); }, BAD_PARAM_COUNT, "GetFirst without argument");
expectError(function () { wl.DeleteAll(1); }, BAD_PARAM_COUNT, "DeleteAll with one");
expectError(function () { wl.Add(null); }, TYPE_MISMATCH, "Add of null");
expectError(function () { wl.NoSuchMethod(); }, UNKNOWN_MEMBER, "unknown method");

// PutWhiteList: a JScript array is an object, not a SAFEARRAY: refused, and
// the list is unchanged.
expectError(function () { wl.PutWhiteList(["a.test"]); }, TYPE_MISMATCH, "PutWhiteList of a JScript array");
expectError(function () { wl.PutWhiteList("a.test"); }, TYPE_MISMATCH, "PutWhiteList of a string");
check(sites(wl, all) == "example.com,42", "refused PutWhiteList changed nothing");

// undefined arrives as VT_EMPTY: the list is emptied.
wl.PutWhiteList(undefined);
check(sites(wl, all) == "", "PutWhiteList(undefined) empties the list");

wl.Add("b.test");
wl.DeleteAll();
check(sites(wl, all) == "", "DeleteAll");

// The method names are found without regard to case.
wl.add("shop.example.com");
check(wl.FIND("http://shop.example.com/") === true, "names ignore case");

// Addresses: a look-alike of a listed site is not that site, two hosts
// beyond the code page stay two hosts, an escape never splits a host, and an
// empty site is refused.
wl.DeleteAll();
wl.Add("adobe.com");
check(wl.Find("http://\u0101dobe.com/") === false, "a look-alike host is not the listed one");
wl.Add("\u4e2d\u6587.test");
check(wl.Find("http://\u4e2d\u6587.test/x") === true, "a listed host beyond the code page is found");
check(wl.Find("http://\u65e5\u672c.test/") === false, "another such host is not");
wl.Add("good.com");
check(wl.Find("http://good.com%2F.evil.com/") === false, "an escaped / does not end the host");
expectError(function () { wl.Add(""); }, [0x80070057, 0x800A0005], "Add of an empty site");
wl.DeleteAll();


WScript.Echo(failures == 0 ? "whitelist_client.js: all checks passed" : "whitelist_client.js: " + failures + " failed");
WScript.Quit(failures);
