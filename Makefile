# Lexivorn: `make run` and `make test` do all the set-up on a fresh Debian
# machine. Everything builds into $(BUILD); executables land in $(BUILD)/bin.

BUILD      ?= build
BUILD_TYPE ?= RelWithDebInfo
CMAKE_ARGS ?=
FUZZ_SECONDS ?= 60

.PHONY: all deps configure build run test format-check bench fuzz install clean

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_ARGS) >/dev/null

build: configure
	@cmake --build $(BUILD)

run: build
	@$(BUILD)/bin/lexivorn

test: build format-check
	@ctest --test-dir $(BUILD) --output-on-failure

format-check: deps
	@bash scripts/check-format.sh

bench: build
	@bash scripts/bench.sh $(BUILD)

fuzz: deps
	@FUZZ_SECONDS=$(FUZZ_SECONDS) bash scripts/fuzz.sh

# Honours DESTDIR, as in `make install DESTDIR=/tmp/stage`.
install: build
	@cmake --install $(BUILD) --prefix $(or $(PREFIX),/usr/local)

clean:
	@rm -rf $(BUILD) build-fuzz
