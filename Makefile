# The two commands a newcomer needs: `make run` and `make test`. Both install what is missing on a
# Debian 12 machine, configure and build first.
BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=

# What each target installs (groups of scripts/install-deps.sh). A target's value reaches its
# prerequisites, so `deps` installs the groups of the target that was asked for.
DEPS_GROUPS ?= base
test: DEPS_GROUPS = base a11y package checks
test-asan: DEPS_GROUPS = base checks
package: DEPS_GROUPS = base package
fuzz fuzz-ci: DEPS_GROUPS = base fuzz

.PHONY: all deps configure build run test test-asan bench screenshots fuzz fuzz-ci soak package clean

all: build

deps:
	@scripts/install-deps.sh $(DEPS_GROUPS)

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS) > $(BUILD)-configure.log 2>&1 \
	    || { cat $(BUILD)-configure.log; exit 1; }

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@scripts/run.sh $(BUILD)

# Renders every window offscreen into docs/img (README shows some of them).
screenshots: build
	QT_QPA_PLATFORM=offscreen $(BUILD)/bin/orbiqa-screenshots docs/img

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 300

test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DORBIQA_SANITIZE=ON $(CMAKE_ARGS)
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
	    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	    ctest --output-on-failure -j $(JOBS) --timeout 600

# Transfer times against the line limit of 19200 baud, and CPU use while waiting.
bench: build
	$(BUILD)/bin/orbiqa-bench

# The Debian package, $(BUILD)/orbiqa_<version>_<architecture>.deb, with its dependencies declared.
package: build
	@grep -q '^ORBIQA_MODULE_KEY_IS_DEVELOPMENT:INTERNAL=ON' $(BUILD)/CMakeCache.txt && echo "warning: the package is built with the development key; it talks only to orbiqa-modsim (see README)" >&2 || true
	cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)

# Fuzz targets (libFuzzer, clang, ASan + UBSan) of every parser of outside input, one after the
# other on one core. `make fuzz` keeps inputs that add coverage in tests/fuzz/<target>;
# `make fuzz-ci` only reads them, briefly, so that a regression fails CI.
FUZZ_BUILD   ?= build-fuzz
FUZZ_SECONDS ?= 60
fuzz: deps
	fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS) keep
fuzz-ci: deps
	fuzz/run.sh $(FUZZ_BUILD) 15 check

# Hundreds of transfers against the simulator with random faults; reports memory and descriptors.
soak: build
	$(BUILD)/bin/orbiqa-soak

# Windows: the programs cross-built with MinGW-w64 into build-windows/ (Qt for MinGW is unpacked
# there first), and run under Wine in a private prefix inside it. `make test-windows` needs the
# Linux build too: orbiqa-modsim plays the module for orbiqa-cli.exe.
WIN_BUILD ?= build-windows
WIN_JOBS  ?= 2
.PHONY: windows windows-package test-windows screenshots-windows wine-race-probe
windows:
	@scripts/install-deps.sh windows
	@scripts/windows-qt.sh $(WIN_BUILD)
	@# Every path resolved (pwd -P), and CMake told so through PWD: reached through a symbolic
	@# link, CMake would otherwise rewrite the folders into the spelling typed in the shell while
	@# the Qt prefix stays resolved, and Qt would not be found.
	@root=$$(pwd -P) && build=$$(cd $(WIN_BUILD) && pwd -P) && \
	PWD="$$root" cmake -S "$$root" -B "$$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DCMAKE_TOOLCHAIN_FILE="$$root/cmake/mingw-w64-x86_64.cmake" \
	    -DORBIQA_QT_MINGW_PREFIX="$$build/qt6-mingw" \
	    $(CMAKE_ARGS) > $(WIN_BUILD)-configure.log 2>&1 || { cat $(WIN_BUILD)-configure.log; exit 1; }
	PWD="$$(pwd -P)" cmake --build $(WIN_BUILD) -j $(WIN_JOBS)

# $(WIN_BUILD)/orbiqa-<version>-setup.exe and the portable orbiqa-<version>-win64.zip. Signed with
# SIGN_PFX=FILE SIGN_PASSWORD=... (SIGN_TIMESTAMP_URL=... optional); unsigned without SIGN_PFX.
export SIGN_PFX SIGN_PASSWORD SIGN_TIMESTAMP_URL
windows-package: windows
	packaging/windows/package.sh $(WIN_BUILD)

test-windows: windows-package build
	tests/windows/run.sh $(WIN_BUILD) $(BUILD)

# The main, status, transfer, editor and chooser windows of the Windows program, drawn under Wine
# with the native style, into docs/img/windows-*.png.
screenshots-windows: windows
	tests/windows/screenshots.sh $(WIN_BUILD) docs/img

# Measures Wine's lost-wait race (docs/portability.md) on a busy machine; prints its figure.
wine-race-probe:
	@scripts/install-deps.sh windows
	tests/windows/wine/run-race-probe.sh $(WIN_BUILD)/race-probe
