# The two commands of the README: `make run` and `make test`. Both set up the machine first.
BUILD ?= build
JOBS ?= 2
ARGS ?=
# Warnings are errors in CI (CI=true) and warnings elsewhere.
WERROR := $(if $(filter true 1 yes,$(CI)),ON,OFF)

.PHONY: all deps configure ui build run test test-ui bench install package clean fake-service screenshots \
	windows-configure windows windows-package test-windows

# The browser interface: web-ui/dist is built again when any of its sources changed.
UI_SOURCES := $(shell find web-ui/src web-ui/public -type f 2>/dev/null) \
	$(wildcard web-ui/index.html web-ui/package.json web-ui/package-lock.json web-ui/vite.config.ts web-ui/tsconfig.json)
UI_DIST := web-ui/dist/index.html

all: build

# `make test` also installs what only the tests need.
deps:
	@scripts/install-deps $(DEPS_FLAGS)
test: DEPS_FLAGS := --test

# Build logs stay inside the build directory; a failing step prints its log.
configure: deps
	@mkdir -p $(BUILD)
	@cmake -S . -B $(BUILD) -DTOLLWICK_WERROR=$(WERROR) >$(BUILD)/configure.log 2>&1 || { cat $(BUILD)/configure.log; exit 1; }

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

bench: build
	@for b in $(BUILD)/bench/bench-*; do echo "== $$b"; $$b; done

install: build
	cmake --install $(BUILD) $(if $(PREFIX),--prefix $(PREFIX))

# The Debian package $(BUILD)/tollwick-player_<version>_<arch>.deb with its systemd units.
package: build
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
# that makes the default device a file, which the real-playback test reads back.
WINDOWS_SOUND := $(abspath $(WINDOWS_BUILD))/sound
test-windows: windows-package
	@cmake --build $(WINDOWS_BUILD) -j$(JOBS)
	@mkdir -p $(WINDOWS_SOUND)
	@printf 'pcm.!default {\n  type file\n  slave.pcm "null"\n  file "%s"\n  format "wav"\n}\n' \
		$(WINDOWS_SOUND)/played.wav >$(WINDOWS_SOUND)/.asoundrc
	cd $(WINDOWS_BUILD) && HOME=$(WINDOWS_SOUND) TOLLWICK_ALSA_CAPTURE=Z:$(WINDOWS_SOUND)/played.wav \
		ctest --output-on-failure -j$(JOBS)

clean:
	rm -rf $(BUILD) web-ui/dist $(WINDOWS_BUILD)
