# The two commands a new user runs: `make run` and `make test`.
# Each installs what is missing first (Debian, as root or through sudo).

SHELL := /bin/bash
SUDO := $(if $(filter 0,$(shell id -u)),,sudo)
# sudo drops DEBIAN_FRONTEND unless it is set on its far side.
APT := $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300
export WINEPREFIX := $(CURDIR)/build/wineprefix
export WINEDLLOVERRIDES := mscoree=;mshtml=
export WINEDEBUG := -all

PACKAGES := cmake make g++ googletest libgtest-dev diffutils time \
            g++-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev \
            wine wine32:i386 wine64 g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 \
            mingw-w64-x86-64-dev xvfb xauth x11-utils imagemagick \
            clang libclang-rt-dev xxd strace attr locales
# Release packages: the icon script, reading resources, the Debian package.
PACKAGES += python3 icoutils zip unzip dpkg-dev lintian git
# The Windows installer: wixl, and libmsi for what wixl leaves out; msitools reads it back.
PACKAGES += wixl gir1.2-libmsi-1.0 python3-gi msitools
# The page: emscripten and its optimizer's parser; Chromium for its tests.
PACKAGES += emscripten node-acorn chromium chromium-driver python3-selenium
# The page's accessibility check, from the npm registry (npm itself where
# Node's own package does not bring it).
AXE_VERSION := 4.14.1
AXE := build/npm/node_modules/axe-core/axe.min.js

.PHONY: deps build web run run-apply test bench fuzz dist dist-check clean

deps:
	@if ! dpkg --print-foreign-architectures | grep -qx i386; then \
		echo "Enabling the i386 architecture for wine32"; \
		$(SUDO) dpkg --add-architecture i386; \
	fi
	@missing=$$(for p in $(PACKAGES); do \
		dpkg-query -W -f='$${Status}\n' "$$p" 2>/dev/null | grep -q 'ok installed' || echo "$$p"; done; \
		command -v npm >/dev/null || echo npm); \
	if [ -n "$$missing" ]; then \
		echo "Installing:" $$missing; \
		$(APT) update && $(APT) install -y --no-install-recommends $$missing; \
	fi
	@[ -e $(AXE) ] || npm install --no-save --no-audit --no-fund --prefix build/npm axe-core@$(AXE_VERSION) >/dev/null

build: deps
	cmake --preset native >/dev/null && cmake --build --preset native -j$$(nproc)
	cmake --preset windows >/dev/null && cmake --build --preset windows -j$$(nproc)

# The page in one file, the engine's WebAssembly inside it, so that it works
# from file:// too (the web preset: emscripten's own CMake toolchain).
web: deps
	cmake --preset web >/dev/null && cmake --build --preset web -j2

# A private Wine prefix; windows draw their own frames, since a virtual
# display has no window manager to do it.
build/wineprefix/system.reg: | deps
	xvfb-run -a tools/wine wineboot -i >/dev/null 2>&1 || true
	tools/wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
	wineserver -w

run: build build/wineprefix/system.reg
	@bash tools/run_morvex.sh

run-apply: build build/wineprefix/system.reg
	@bash tools/run_morvex.sh build/windows/applier/morvex-apply.exe

test: build build/wineprefix/system.reg
	ctest --preset native
	xvfb-run -a -s "-screen 0 1024x768x24" ctest --preset windows
	$(MAKE) --no-print-directory fuzz FUZZ_SECONDS=15
	$(MAKE) --no-print-directory web
	ctest --preset web

# The patch reader and the check under libFuzzer (the fuzz preset, clang),
# the fuzz preset's one test. New inputs it finds stay in build/fuzz/corpus.
FUZZ_SECONDS ?= 60

fuzz: deps
	@cmake --preset fuzz -DMORVEX_FUZZ_SECONDS=$(FUZZ_SECONDS) >/dev/null && cmake --build --preset fuzz -j2 >/dev/null
	ctest --preset fuzz

# The shipped build is timed: the tests' own build runs under the sanitizers.
# Under Wine, the Windows preset's build, which this machine's Wine runs: the
# comparison's two threads, and the applier's window against morvexc.exe.
bench: deps build/wineprefix/system.reg
	cmake --preset release-native >/dev/null && cmake --build --preset release-native -j$$(nproc) --target morvexc
	bash bench/compare_with_cmp.sh build/release-native/cli/morvexc
	bash bench/apply_bench.sh build/release-native/cli/morvexc
	cmake --preset windows >/dev/null && cmake --build --preset windows -j$$(nproc) --target morvexc morvex-apply morvex_window_bench
	bash bench/wine_threads.sh build/windows/cli/morvexc.exe
	xvfb-run -a -s "-screen 0 1024x768x24" bash bench/apply_window_bench.sh build/windows
	xvfb-run -a -s "-screen 0 1024x768x24" bash bench/in_place_bench.sh build/release-native/cli/morvexc build/windows
	$(MAKE) --no-print-directory web
	/usr/bin/python3 bench/web_bench.py build/web/index.html build/release-native/cli/morvexc

# Release packages in build/dist, built afresh from the release presets in
# folders of their own under umask 022: the same source gives the same bytes.
# The source archive is made only from a git checkout.
VERSION := $(shell awk '/^project/ {print $$3; exit}' CMakeLists.txt)
# The tree of HEAD with the release date in it, entries dated by the commit.
SOURCE_ARCHIVE = git -c tar.umask=022 archive --format=tar --prefix=morvex-$(VERSION)/ \
	--add-virtual-file=morvex-$(VERSION)/cmake/source-date-epoch:"$$SOURCE_DATE_EPOCH"$$'\n' HEAD | gzip -9n
dist: deps
	@set -e; umask 022; \
	export SOURCE_DATE_EPOCH=$$(cmake -P cmake/source_date.cmake); \
	rm -rf build/dist build/release-native build/release-windows; mkdir -p build/dist; \
	for preset in release-native release-windows; do \
		cmake --preset $$preset >/dev/null; \
		cmake --build --preset $$preset -j$$(nproc) --target $$([ $$preset = release-windows ] && echo morvex morvex-apply morvex_installer) morvexc >/dev/null; \
		(cd build/$$preset && cpack -B package >/dev/null); \
		find build/$$preset/package -maxdepth 1 -type f -exec cp {} build/dist/ \; ; \
	done; \
	rm -rf build/web build/dist-web; $(MAKE) --no-print-directory web >/dev/null; \
	mkdir build/dist-web; install -m 644 build/web/index.html build/web/README.txt build/dist-web/; install -m 644 LICENSE build/dist-web/LICENSE.txt; \
	(cd build/dist-web && export TZ=UTC && touch -d @$$SOURCE_DATE_EPOCH * && \
	 ls | LC_ALL=C sort | zip -q -X -D ../dist/morvex-$(VERSION)-web.zip -@); \
	if [ -e .git ]; then \
		$(SOURCE_ARCHIVE) >build/dist/morvex-$(VERSION).tar.gz; \
	fi; \
	bash tests/package/check_dist.sh build/dist $(VERSION)

# Builds the packages a second time from the source archive of a fresh
# clone, under another umask, time zone and locale, and compares the bytes.
dist-check:
	@set -e; top=$$(mktemp -d); trap 'rm -rf "$$top"' EXIT; \
	git clone -q . "$$top/clone"; \
	$(MAKE) --no-print-directory -C "$$top/clone" dist >/dev/null; \
	mkdir "$$top/unpacked"; \
	(umask 077; export TZ=XYZ-14 LC_ALL=C.UTF-8 LANG=C.UTF-8; \
	 tar -xzf "$$top/clone/build/dist/morvex-$(VERSION).tar.gz" --no-same-permissions -C "$$top/unpacked"; \
	 $(MAKE) --no-print-directory -C "$$top/unpacked/morvex-$(VERSION)" dist >/dev/null; \
	 cd "$$top/clone" && SOURCE_DATE_EPOCH=$$(cmake -P cmake/source_date.cmake) && \
	 $(SOURCE_ARCHIVE) >"$$top/unpacked/morvex-$(VERSION)/build/dist/morvex-$(VERSION).tar.gz"); \
	for f in $$(cd "$$top/clone/build/dist" && ls); do \
		cmp "$$top/clone/build/dist/$$f" "$$top/unpacked/morvex-$(VERSION)/build/dist/$$f"; \
		(cd "$$top/clone/build/dist" && sha256sum "$$f"); \
	done; \
	echo "dist-check: the clone and its source archive gave the same packages"

clean:
	rm -rf build
