# The two commands of the README: `make run` and `make test`. Both set up the machine first.
BUILD ?= build
JOBS ?= 2
ARGS ?=
# Warnings are errors in CI (CI=true) and warnings elsewhere.
WERROR := $(if $(filter true 1 yes,$(CI)),ON,OFF)

.PHONY: all deps configure build run test bench install clean fake-service

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -DTOLLWICK_WERROR=$(WERROR) >$(BUILD).configure.log 2>&1 || { cat $(BUILD).configure.log; exit 1; }

build: configure
	@cmake --build $(BUILD) -j$(JOBS)

run: build
	./$(BUILD)/tollwick-player $(ARGS)

# The substitute vendor service on 127.0.0.1:5002, for a development run in another terminal.
fake-service: configure
	@cmake --build $(BUILD) -j$(JOBS) --target tollwick-fake-service
	./$(BUILD)/tools/tollwick-fake-service $(ARGS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

bench: build
	@for b in $(BUILD)/bench/bench-*; do echo "== $$b"; $$b; done

install: build
	cmake --install $(BUILD) $(if $(PREFIX),--prefix $(PREFIX))

clean:
	rm -rf $(BUILD) $(BUILD).configure.log
