# The two commands of the README: `make run` and `make test`. Both set up the machine first.
# ARCH=arm64 on an amd64 machine cross-builds for a Raspberry Pi into build-arm64 (make package
# ARCH=arm64); on the board itself, and for ARCH=amd64 on a PC, the build is the machine's own.
HOST_ARCH := $(shell dpkg --print-architecture 2>/dev/null || uname -m)
ARCH ?= $(HOST_ARCH)
ifeq ($(filter amd64 arm64,$(ARCH)),)
$(error ARCH is amd64 or arm64, not $(ARCH))
endif
CROSS := $(if $(filter-out $(HOST_ARCH),$(ARCH)),$(ARCH))
ifneq ($(CROSS),)
ifneq ($(CROSS)-$(HOST_ARCH),arm64-amd64)
$(error the cross-build is made for arm64 on amd64, and this machine is $(HOST_ARCH))
endif
BUILD ?= build-arm64
endif
BUILD ?= build
JOBS ?= 2
ARGS ?=
# Warnings are errors in CI (CI=true) and warnings elsewhere.
WERROR := $(if $(filter true 1 yes,$(CI)),ON,OFF)
CROSS_CONFIG = $(if $(CROSS),-DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake)
# The benchmarks are built with the rest (BENCH=OFF leaves them out).
BENCH ?= ON

.PHONY: all deps configure ui build run test test-ui test-sanitizers fuzz bench install package clean \
	fake-service screenshots windows-configure windows windows-package test-windows test-arm64

# The browser interface: web-ui/dist is built again when any of its sources changed.
UI_SOURCES := $(shell find web-ui/src web-ui/public -type f 2>/dev/null) \
	$(wildcard web-ui/index.html web-ui/package.json web-ui/package-lock.json web-ui/vite.config.ts web-ui/tsconfig.json)
UI_DIST := web-ui/dist/index.html

all: build

# `make test` also installs what only the tests need.
deps:
	@scripts/install-deps $(DEPS_FLAGS) $(if $(CROSS),--arm64)
test: DEPS_FLAGS := --test
fuzz: DEPS_FLAGS := --fuzz

# Build logs stay inside the build directory; a failing step prints its log.
configure: deps
	@mkdir -p $(BUILD)
	@cmake -S . -B $(BUILD) -DTOLLWICK_WERROR=$(WERROR) -DTOLLWICK_BENCH=$(BENCH) $(CROSS_CONFIG) >$(BUILD)/configure.log 2>&1 || { cat $(BUILD)/configure.log; exit 1; }

ui: $(UI_DIST)

$(UI_DIST): $(UI_SOURCES) | deps
	@mkdir -p $(BUILD)
	@cd web-ui && npm run --silent build >$(abspath $(BUILD))/ui.log 2>&1 || { cat $(abspath $(BUILD))/ui.log; exit 1; }
	@touch $@

build: configure ui
	@cmake --build $(BUILD) -j$(JOBS)

run: build
	./$(BUILD)/tollwick-player $(ARGS)

# The substitute vendor service on 127.0.0.1:5002, for a development run in another terminal.
fake-service: configure
	@cmake --build $(BUILD) -j$(JOBS) --target tollwick-fake-service
	./$(BUILD)/tools/tollwick-fake-service $(ARGS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)
	@$(MAKE) --no-print-directory test-ui

# The interface's own logic (Vitest), then its flows in headless Chromium against the real
# server; screenshots of every flow land in $(BUILD)/ui-screenshots.
UI_TEST_ENV = TOLLWICK_SERVER=$(abspath $(BUILD))/tollwick-player \
	TOLLWICK_FAKE_SERVICE=$(abspath $(BUILD))/tools/tollwick-fake-service \
	TOLLWICK_UI_SCREENSHOTS=$(abspath $(BUILD))/ui-screenshots
test-ui:
	cd web-ui && npx vitest run
	$(UI_TEST_ENV) node --test --test-concurrency=1 --test-reporter=spec tests/ui/

# The screenshots shown in the README (docs/screenshots), at desktop and phone widths.
screenshots: build
	$(UI_TEST_ENV) node tests/ui/screenshots.mjs docs/screenshots

# The C++ tests again, built with AddressSanitizer and UndefinedBehaviorSanitizer (all of them) and
# with ThreadSanitizer (the thread-heavy scheduler, player and web tests), each in a build dir of
# its own. Slow: CI runs it after `make test` (.ci/run). Warnings are the plain build's business here.
# -O1 and line tables only (-g1): what the sanitizers' reports need, in much less compile time.
SANITIZER_CONFIG = -DTOLLWICK_WERROR=OFF -DTOLLWICK_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	"-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG"
test-sanitizers: deps
	@mkdir -p build-asan build-tsan
	@cmake -S . -B build-asan $(SANITIZER_CONFIG) -DTOLLWICK_SANITIZE=address,undefined >build-asan/configure.log 2>&1 || { cat build-asan/configure.log; exit 1; }
	@cmake --build build-asan -j$(JOBS)
	cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j$(JOBS)
	@cmake -S . -B build-tsan $(SANITIZER_CONFIG) -DTOLLWICK_SANITIZE=thread >build-tsan/configure.log 2>&1 || { cat build-tsan/configure.log; exit 1; }
	@cmake --build build-tsan -j$(JOBS) --target test-scheduling test-audio test-web
	for t in scheduling audio web; do TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" build-tsan/tests/test-$$t || exit 1; done

# The libFuzzer targets (fuzz/), built with clang in build-fuzz and run FUZZ_SECONDS each from their
# seed corpora (fuzz/corpus/<name>); what they find new goes to build-fuzz/corpus, a crash to
# build-fuzz/crash-*.
FUZZ_SECONDS ?= 12
FUZZERS = documents request_bodies request_head upload_form time_text route_table multipart
fuzz: deps
	@mkdir -p build-fuzz
	@CXX=clang++-14 cmake -S . -B build-fuzz -DTOLLWICK_FUZZ=ON -DTOLLWICK_TESTS=OFF -DTOLLWICK_BENCH=OFF \
		-DTOLLWICK_WERROR=OFF >build-fuzz/configure.log 2>&1 || { cat build-fuzz/configure.log; exit 1; }
	@cmake --build build-fuzz -j$(JOBS) $(addprefix --target fuzz-,$(FUZZERS))
	@for f in $(FUZZERS); do mkdir -p build-fuzz/corpus/$$f; echo "== fuzz-$$f ($(FUZZ_SECONDS) s)"; \
		build-fuzz/fuzz/fuzz-$$f -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=2048 \
			-artifact_prefix=build-fuzz/ build-fuzz/corpus/$$f fuzz/corpus/$$f 2>build-fuzz/fuzz-$$f.log \
			|| { tail -50 build-fuzz/fuzz-$$f.log; exit 1; }; tail -1 build-fuzz/fuzz-$$f.log; done

bench: build
	@for b in $(BUILD)/bench/bench-*; do echo "== $$b"; $$b; done

install: build
	cmake --install $(BUILD) $(if $(PREFIX),--prefix $(PREFIX))

# The Debian package $(BUILD)/tollwick-player_<version>_<arch>.deb with its systemd units.
# Only the program is built for it, not the tests: on a Raspberry Pi that saves most of the time.
package: configure ui
	@cmake --build $(BUILD) -j$(JOBS) --target tollwick-player
	cd $(BUILD) && cpack -G DEB

# Windows: the same system cross-built with mingw-w64 into $(WINDOWS_BUILD), its GoogleTest programs
# run under Wine, and the release as a zip and an NSIS installer.
WINDOWS_BUILD ?= build-windows
windows-configure:
	@scripts/install-deps --windows
	@mkdir -p $(WINDOWS_BUILD)
	@cmake -S . -B $(WINDOWS_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
		-DTOLLWICK_WERROR=$(WERROR) >$(WINDOWS_BUILD)/configure.log 2>&1 || { cat $(WINDOWS_BUILD)/configure.log; exit 1; }

windows: windows-configure
	@cmake --build $(WINDOWS_BUILD) -j$(JOBS) --target tollwick-player

windows-package: windows ui
	@cmake --build $(WINDOWS_BUILD) --target windows-package

# Sound under Wine goes through its ALSA driver into ALSA's file output: HOME holds the .asoundrc
# that makes the default device a file, which the real-playback test reads back. The programs run
# on a virtual screen (Xvfb), where the tray launcher's icon, menu and questions show.
WINDOWS_SOUND := $(abspath $(WINDOWS_BUILD))/sound
test-windows: windows-package
	@cmake --build $(WINDOWS_BUILD) -j$(JOBS)
	@mkdir -p $(WINDOWS_SOUND)
	@printf 'pcm.!default {\n  type file\n  slave.pcm "null"\n  file "%s"\n  format "wav"\n}\n' \
		$(WINDOWS_SOUND)/played.wav >$(WINDOWS_SOUND)/.asoundrc
	cd $(WINDOWS_BUILD) && HOME=$(WINDOWS_SOUND) TOLLWICK_ALSA_CAPTURE=Z:$(WINDOWS_SOUND)/played.wav \
		xvfb-run -a -s "-screen 0 1280x800x24" sh -c 'TOLLWICK_WINE_DISPLAY=$$DISPLAY exec ctest --output-on-failure -j$(JOBS)'

# The C++ tests of the arm64 cross-build, run by ctest under qemu's user-mode emulator (the
# toolchain file makes it the build's emulator); those that emulation cannot run are left out in
# tests/CMakeLists.txt, each with its reason. The interface's tests do not depend on the machine,
# and the benchmarks' figures would be the emulator's: the plain build compiles them.
ARM64_BUILD ?= build-arm64
test-arm64:
	@$(MAKE) --no-print-directory build ARCH=arm64 BUILD=$(ARM64_BUILD) DEPS_FLAGS=--test BENCH=OFF
	cd $(ARM64_BUILD) && ctest --output-on-failure -j$(JOBS)

clean:
	rm -rf $(BUILD) web-ui/dist $(WINDOWS_BUILD) build-asan build-tsan build-fuzz $(ARM64_BUILD)
