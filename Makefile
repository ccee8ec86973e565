# Quillvane: two commands for a newcomer.
#   make demo   register the DLL in a private Wine prefix and show it at work
#   make check  build everything and run every test (native, then under Wine)

SHELL := /bin/bash
.ONESHELL:
.PHONY: all deps native native-asan win64 fuzz check check-native check-asan check-win check-fuzz check-install dist dist-files installer demo bench clean screenshots

JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 25

all: native win64

deps:
	@scripts/install-deps

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

check-native: native
	rm -rf build/native/test-results
	ctest --test-dir build/native --output-on-failure

check-asan: native-asan
	rm -rf build/native-asan/test-results
	ctest --test-dir build/native-asan --output-on-failure

check-fuzz: fuzz
	@scripts/run-fuzzers build/fuzz $(FUZZ_SECONDS)

check-win: win64
	rm -rf build/win64/test-results
	scripts/wine-env run ctest --test-dir build/win64 --output-on-failure

# The shipped files: both modules checked, the setup installed, upgraded and
# uninstalled under Wine in a prefix of its own.
check-install: dist
	cmake --build --preset win64 -j $(JOBS) --target installed_host
	tests/ship/install-check

check: check-native check-asan check-fuzz check-win check-install
	@scripts/test-summary build/native build/native-asan build/win64 build/ship-check

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
	done

installer: dist-files
	@set -e
	rm -f dist/Quillvane-*-setup.exe
	scripts/make-installer dist build/win64/gen/qv_version.nsh

dist: installer
	@ls -l dist/win64 dist/win32 dist/*.exe

demo: dist
	@set -e
	cmake --build --preset win64 -j $(JOBS) --target demo_host standin_demo adware_demo options_demo ui_demo >build/demo_host.log 2>&1 || { cat build/demo_host.log; exit 1; }
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
