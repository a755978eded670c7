# Entry points. `make demo` and `make test` work on a fresh clone: each installs
# what is missing (scripts/bootstrap.sh), configures the `default` preset
# (build/) and builds with two jobs.

JOBS   ?= 2
BUILD  := build
DEVICE ?= $(CURDIR)/device
SIMDEVICE := $(BUILD)/bin/simdevice

.PHONY: all bootstrap configure build device demo test test-unit check-layers check-json-text sanitize bench bench-web package fuzz shutdown clean

all: build

bootstrap:
	@bash scripts/bootstrap.sh

configure: bootstrap
	@bash scripts/configure.sh default

build: configure
	@cmake --build --preset default -j $(JOBS)

# Only what the device runs: the deliverables, the platform, the host, simdevice.
device: configure
	@cmake --build --preset default -j $(JOBS) --target device

# A fresh device under ./device with the package installed, booted, and the tour.
demo: device
	@DEVICE="$(DEVICE)" SIMDEVICE="$(SIMDEVICE)" bash scripts/demo.sh

# The formatting, layering and JSON-text checks, then every test of the default build (warnings are errors in it, so that
# `make test` and `make demo` share one configuration and neither rebuilds what the other built), then the whole
# suite again under AddressSanitizer and UBSan (any report fails it). PX_NO_SANITIZE=1 skips the
# second pass for a quick local run.
test: bootstrap
	@bash scripts/check_format.sh
	@/usr/bin/python3 scripts/check_layers.py
	@/usr/bin/python3 scripts/check_json_text.py
	@bash scripts/configure.sh default
	@cmake --build --preset default -j $(JOBS)
	@ctest --preset default -j $(JOBS) --no-tests=error
	@if [ -z "$$PX_NO_SANITIZE" ]; then PX_JOBS=$(JOBS) bash scripts/sanitize.sh --no-tests=error; fi

# The fast local loop: the in-process tests only (ctest label `unit`).
test-unit: build
	@ctest --preset unit -j $(JOBS) --no-tests=error

# No #include or target_link_libraries points up the layers of docs/architecture.md.
check-layers:
	@/usr/bin/python3 scripts/check_layers.py

# JSON becomes text only through host::json_text (no raw .dump( in the C++ sources).
check-json-text:
	@/usr/bin/python3 scripts/check_json_text.py

# The same tests built with AddressSanitizer and UndefinedBehaviorSanitizer (build-sanitize/).
sanitize: bootstrap
	@PX_JOBS=$(JOBS) bash scripts/sanitize.sh --no-tests=error

bench: build
	@$(BUILD)/bin/px_bench
	@$(BUILD)/bin/battery_life
	@$(BUILD)/bin/px_remaining_bench

# The web view on a temporary device: battery change to a subscriber's state
# event (p50/p99 over 1 000 changes), and the server's memory over 10 000
# changes with 5 subscribers (WEB_BENCH_ARGS="--memory-changes N" for fewer).
bench-web: device
	@/usr/bin/python3 bench/web_latency.py --simdevice $(SIMDEVICE) --stage $(BUILD)/stage $(WEB_BENCH_ARGS)

package: build
	@cmake --build --preset default --target deb

# libFuzzer needs clang; each target runs FUZZ_SECONDS from the committed seeds
# (which `make test` replays with any compiler).
FUZZ_SECONDS ?= 60
fuzz: bootstrap
	@if command -v clang++ >/dev/null; then PX_JOBS=$(JOBS) bash scripts/fuzz.sh $(FUZZ_SECONDS); \
	else echo "make fuzz: clang++ is missing (apt-get install clang); make test still replays the fuzz seeds"; exit 1; fi

# Stops the demo device.
shutdown:
	@if [ -x $(SIMDEVICE) ]; then $(SIMDEVICE) --root "$(DEVICE)" shutdown; fi

clean: shutdown
	@rm -rf $(BUILD) build-sanitize
