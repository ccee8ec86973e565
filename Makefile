# Quillvane: two commands for a newcomer.
#   make demo   register the DLL in a private Wine prefix and show it at work
#   make check  build everything and run every test (native, then under Wine)

SHELL := /bin/bash
.ONESHELL:
.PHONY: all deps native native-asan win64 win32 win32-where-it-runs fuzz check check-native check-asan check-win check-win64 check-win32 check-fuzz check-install install-hosts run-fuzz run-win64 run-win32 run-install dist dist-files installer demo bench clean screenshots

JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 25

all: native win64

deps:
	@scripts/install-deps
	scripts/install-deps --wine32 >/dev/null || true

native: deps
	@cmake --preset native >/dev/null
	cmake --build --preset native -j $(JOBS)

native-asan: deps
	@cmake --preset native-asan >/dev/null
	cmake --build --preset native-asan -j $(JOBS)

win64: deps
	@cmake --preset win64 >/dev/null
	cmake --build --preset win64 -j $(JOBS)

fuzz: deps
	@cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j $(JOBS)

win32: deps
	@cmake --preset win32 >/dev/null
	cmake --build --preset win32 -j $(JOBS)

# Each check is a stage (scripts/stage): its exit code and reports are
# recorded in build/stages for the closing count (scripts/test-summary).
check-native: native
	scripts/stage native build/native/test-results ctest --test-dir build/native --output-on-failure

check-asan: native-asan
	scripts/stage native-asan build/native-asan/test-results ctest --test-dir build/native-asan --output-on-failure

# Each check-X builds what its stage needs, then runs it (run-X).
check-fuzz: fuzz
	@$(MAKE) --no-print-directory run-fuzz

check-win: check-win64 check-win32

check-win64: win64 win32-where-it-runs
	@$(MAKE) --no-print-directory run-win64

check-win32: win32-where-it-runs
	@$(MAKE) --no-print-directory run-win32

check-install: dist install-hosts
	@$(MAKE) --no-print-directory run-install

# What the 32-bit suite and the install check run, where a 32-bit Wine runs
# it (the cross-bitness test of each suite starts the other bitness's
# binary); the 32-bit demos are left to make win32 and make demo.
win32-where-it-runs: deps
	@if scripts/install-deps --wine32 >/dev/null 2>&1; then
	  cmake --preset win32 >/dev/null
	  cmake --build --preset win32 -j $(JOBS) --target win_tests installed_host
	fi

install-hosts: win32-where-it-runs
	cmake --build --preset win64 -j $(JOBS) --target installed_host

# The stages proper; they build nothing.  Each Windows suite runs in a Wine
# prefix of its own, so that they can run side by side.
run-fuzz:
	@scripts/stage fuzz build/fuzz/test-results scripts/run-fuzzers build/fuzz $(FUZZ_SECONDS)

run-win64:
	WINEPREFIX=$(CURDIR)/build/wine scripts/stage win64 build/win64/test-results \
	  scripts/wine-env run ctest --test-dir build/win64 --output-on-failure

# The 32-bit suite needs the 32-bit Wine; where it cannot be installed, the
# stage is recorded as not run, with the reason.
run-win32:
	@if why=$$(scripts/install-deps --wine32); then
	  WINEPREFIX=$(CURDIR)/build/wine-32 scripts/stage win32 build/win32/test-results \
	    scripts/wine-env run ctest --test-dir build/win32 --output-on-failure
	else
	  scripts/stage --skip win32 "$$why"
	fi

# The shipped files: both modules checked, the setup installed, upgraded and
# uninstalled under Wine in a prefix of its own, the signing path.
run-install:
	scripts/stage install build/ship-check/test-results tests/ship/install-check

# Every stage runs even when an earlier one failed; the count says what
# failed and the exit status follows it.  Everything is built first; then
# the stages that mostly wait on Wine (and the fuzzers, which keep one core)
# run side by side, each one's output shown whole when it ends.
check: deps
	@rm -rf build/stages
	$(MAKE) --no-print-directory -k check-native check-asan fuzz win64 dist install-hosts || true
	$(MAKE) --no-print-directory -k -j4 --output-sync=target run-fuzz run-win64 run-win32 run-install || true
	scripts/test-summary build/stages native native-asan fuzz win64 win32 install

# dist/win64 and dist/win32: each bitness's module and the files beside it;
# then the setup file (dist/Quillvane-<version>-setup.exe).
dist-files: deps
	@set -e
	shopt -s nullglob
	for arch in win64 win32; do
	  cmake --preset $$arch >/dev/null
	  cmake --build --preset $$arch -j $(JOBS) --target product
	  rm -rf dist/$$arch && mkdir -p dist/$$arch
	  cp build/$$arch/Quillvane.dll dist/$$arch/
	  # Data files that ship beside the module (white list seed, adware list, skins).
	  for f in data/Quillvane.* build/$$arch/Quillvane.*; do
	    case "$$f" in *.dll) ;; *) cp "$$f" dist/$$arch/ ;; esac
	  done
	  if [ -n "$${QV_SIGN_CERT:-}" ] && [ -n "$${QV_SIGN_KEY:-}" ]; then
	    for f in dist/$$arch/*.dll dist/$$arch/*.skn; do scripts/sign-file "$$f"; done
	  fi
	done
	if [ -n "$${QV_SIGN_CERT:-}" ] && [ -n "$${QV_SIGN_KEY:-}" ]; then
	  echo "dist: modules, skin library, setup and uninstaller signed with $$QV_SIGN_CERT"
	else
	  echo "dist: not signed (set QV_SIGN_CERT and QV_SIGN_KEY to sign; see README)"
	fi

installer: dist-files
	@set -e
	rm -f dist/Quillvane-*-setup.exe
	scripts/make-installer dist build/win64/gen/qv_version.nsh

dist: installer
	@ls -l dist/win64 dist/win32 dist/*.exe

demo: dist
	@set -e
	cmake --build --preset win64 -j $(JOBS) --target demo_host standin_demo adware_demo options_demo ui_demo >build/demo_host.log 2>&1 || { cat build/demo_host.log; exit 1; }
	if scripts/install-deps --wine32 >/dev/null; then
	  cmake --build --preset win32 -j $(JOBS) --target demo_host >>build/demo_host.log 2>&1 || { cat build/demo_host.log; exit 1; }
	fi
	scripts/wine-env run scripts/demo

# For maintainers: the pictures of make demo alone, copied to
# docs/screenshots (the README's copies).
screenshots: deps
	@set -e
	cmake --preset win64 >/dev/null
	cmake --build --preset win64 -j $(JOBS) --target options_demo ui_demo >build/screenshots.log 2>&1 || { cat build/screenshots.log; exit 1; }
	scripts/wine-env run scripts/screenshots --docs

bench: native
	build/native/bench/qv_bench

clean:
	rm -rf build dist
