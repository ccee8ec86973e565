# Quillvane: two commands for a newcomer.
#   make demo   register the DLL in a private Wine prefix and show it at work
#   make check  build everything and run every test (native, then under Wine)

SHELL := /bin/bash
.ONESHELL:
.PHONY: all deps native native-asan win64 fuzz check check-native check-asan check-win check-fuzz dist demo bench clean

JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 60

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

check: check-native check-asan check-fuzz check-win
	@scripts/test-summary build/native build/native-asan build/win64

dist: deps
	@set -e
	cmake --preset win64 >/dev/null
	cmake --build --preset win64 -j $(JOBS) --target Quillvane
	rm -rf dist/win64 && mkdir -p dist/win64
	cp build/win64/Quillvane.dll dist/win64/
	# Data files that ship beside the module (white list seed, adware list, skins).
	shopt -s nullglob
	for f in data/Quillvane.* build/win64/Quillvane.*; do
	  case "$$f" in *.dll) ;; *) cp "$$f" dist/win64/ ;; esac
	done
	ls -l dist/win64

demo: dist
	@set -e
	cmake --build --preset win64 -j $(JOBS) --target demo_host standin_demo >build/demo_host.log 2>&1 || { cat build/demo_host.log; exit 1; }
	scripts/wine-env run scripts/demo

bench: native
	build/native/bench/qv_bench

clean:
	rm -rf build dist
