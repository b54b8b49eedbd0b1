# The two commands a new user runs: `make run` and `make test`.
# Each installs what is missing first (Debian, as root or through sudo).

SHELL := /bin/bash
SUDO := $(if $(filter 0,$(shell id -u)),,sudo)
export WINEPREFIX := $(CURDIR)/build/wineprefix
export WINEDLLOVERRIDES := mscoree=;mshtml=
export WINEDEBUG := -all

PACKAGES := cmake make g++ googletest libgtest-dev diffutils time \
            g++-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev \
            wine wine32:i386 wine64 g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 \
            mingw-w64-x86-64-dev xvfb xauth x11-utils imagemagick \
            clang libclang-rt-dev xxd
# Release packages: the icon script, reading resources, the Debian package.
PACKAGES += python3 icoutils zip unzip dpkg-dev lintian git

.PHONY: deps build run test bench fuzz dist dist-check clean

deps:
	@if ! dpkg --print-foreign-architectures | grep -qx i386; then \
		echo "Enabling the i386 architecture for wine32"; \
		$(SUDO) dpkg --add-architecture i386; \
	fi
	@missing=$$(for p in $(PACKAGES); do \
		dpkg-query -W -f='$${Status}\n' "$$p" 2>/dev/null | grep -q 'ok installed' || echo "$$p"; done); \
	if [ -n "$$missing" ]; then \
		echo "Installing:" $$missing; \
		$(SUDO) apt-get update && \
		DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y --no-install-recommends $$missing; \
	fi

build: deps
	cmake --preset native >/dev/null && cmake --build --preset native -j$$(nproc)
	cmake --preset windows >/dev/null && cmake --build --preset windows -j$$(nproc)

# A private Wine prefix; windows draw their own frames, since a virtual
# display has no window manager to do it.
build/wineprefix/system.reg:
	xvfb-run -a tools/wine wineboot -i >/dev/null 2>&1 || true
	tools/wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
	wineserver -w

run: build build/wineprefix/system.reg
	@bash tools/run_morvex.sh

test: build build/wineprefix/system.reg
	ctest --preset native
	cmake --preset sanitize >/dev/null && cmake --build --preset sanitize -j$$(nproc)
	ctest --preset sanitize
	xvfb-run -a -s "-screen 0 1024x768x24" ctest --preset windows
	$(MAKE) --no-print-directory fuzz FUZZ_SECONDS=15

# The patch reader and the check under libFuzzer, built with clang apart
# from the three presets. New inputs it finds stay in build/fuzz/corpus.
FUZZ_SECONDS ?= 60
FUZZ_SOURCES := tests/fuzz/fuzz_patch.cpp $(addprefix engine/,patch_reader.cpp patch_apply.cpp \
                patch_format.cpp target_name.cpp platform_posix.cpp destination_posix.cpp)

build/fuzz/fuzz_patch: $(FUZZ_SOURCES) $(wildcard engine/*.h)
	mkdir -p build/fuzz/corpus
	clang++ -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
		-Iengine $(FUZZ_SOURCES) -lpthread -o $@

fuzz: deps build/fuzz/fuzz_patch
	@build/fuzz/fuzz_patch -max_total_time=$(FUZZ_SECONDS) -artifact_prefix=build/fuzz/ \
		build/fuzz/corpus tests/fuzz/corpus \
		2> build/fuzz/log || { tail -40 build/fuzz/log; exit 1; }
	@grep '^Done' build/fuzz/log

bench: deps
	cmake --preset native >/dev/null && cmake --build --preset native -j$$(nproc) --target morvexc
	bash bench/compare_with_cmp.sh build/native/cli/morvexc
	bash bench/apply_bench.sh build/native/cli/morvexc

# Release packages in build/dist: the same commit gives the same bytes.
dist: deps
	rm -rf build/dist && mkdir -p build/dist
	export SOURCE_DATE_EPOCH=$$(git log -1 --format=%ct) && \
	cmake --preset native >/dev/null && cmake --build --preset native -j$$(nproc) --target morvexc && \
	cmake --preset windows >/dev/null && cmake --build --preset windows -j$$(nproc) --target morvex morvexc && \
	for preset in native windows; do \
		rm -rf build/$$preset/package && (cd build/$$preset && cpack -B package >/dev/null) && \
		find build/$$preset/package -maxdepth 1 -type f -exec cp {} build/dist/ \; || exit 1; \
	done
	bash tests/package/check_dist.sh build/dist $$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/native/CMakeCache.txt)

# Builds the packages from two fresh clones of HEAD in different folders
# and compares them byte for byte.
dist-check:
	@set -e; top=$$(mktemp -d); trap 'rm -rf "$$top"' EXIT; \
	for clone in one second-clone; do \
		git clone -q . "$$top/$$clone" && $(MAKE) --no-print-directory -C "$$top/$$clone" dist >/dev/null; \
	done; \
	for f in $$(cd "$$top/one/build/dist" && ls); do \
		cmp "$$top/one/build/dist/$$f" "$$top/second-clone/build/dist/$$f"; \
		sha256sum "$$top/one/build/dist/$$f" "$$top/second-clone/build/dist/$$f" | sed "s|$$top/||"; \
	done; \
	echo "dist-check: both clones gave the same packages"

clean:
	rm -rf build
