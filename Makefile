# Lexivorn: `make run` and `make test` do all the set-up on a fresh Debian
# machine (before make is there: `sh make.sh run`, `sh make.sh test`).
# Everything builds into $(BUILD); executables land in $(BUILD)/bin.
# Each command installs only the packages it needs (scripts/install-deps.sh).

BUILD      ?= build
BUILD_TYPE ?= RelWithDebInfo
CMAKE_ARGS ?=
FUZZ_SECONDS ?= 60
SUITE      ?= trixie

.PHONY: all deps configure build run test format-check bench fuzz package install uninstall clean \
	test-debian test-desktops

all: build

# The packages to install: the build's, plus those of the command asked for.
# Set per command, so that they are there before CMake looks for them.
DEPS = build
test format-check: DEPS = test
test-desktops: DEPS = desktops
bench: DEPS = bench
fuzz: DEPS = fuzz
package: DEPS = package
test-debian: DEPS = debian

# The tests are configured where they are built; `make run` and
# `make package` need none of their tools.
TESTS = ON
run package: TESTS = OFF

deps:
	@bash scripts/install-deps.sh $(DEPS)

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) \
		-DLEXIVORN_BUILD_TESTS=$(TESTS) $(CMAKE_ARGS)

build: configure
	@cmake --build $(BUILD)

# The program and the libraries it links, no test or bench tool.
run: configure
	@cmake --build $(BUILD) --target lexivorn
	@$(BUILD)/bin/lexivorn

# The fuzz target's own clang tree is built here, not inside a test; the
# suite's fuzz_smoke then runs it.
test: build format-check
	@FUZZ_BUILD=$(BUILD)/fuzz bash scripts/fuzz.sh --build-only
	@ctest --test-dir $(BUILD) --output-on-failure -LE desktops

# The end-to-end session under the window managers of other desktops: icewm,
# mutter (GNOME) and KWin (Plasma), each on X11.
test-desktops: build
	@ctest --test-dir $(BUILD) --output-on-failure -L desktops

format-check: deps
	@bash scripts/check-format.sh

bench: build
	@bash scripts/bench.sh $(BUILD)

fuzz: deps
	@FUZZ_SECONDS=$(FUZZ_SECONDS) bash scripts/fuzz.sh

# $(BUILD)/lexivorn_<version>_<arch>.deb, holding what `make install` places
# under /usr.
package: build
	@cd $(BUILD) && cpack -G DEB

# The committed tree's `make test` in a fresh minimal Debian root, as on a
# bare machine: SUITE=trixie, bookworm or testing. Takes about 40 minutes.
test-debian: deps
	@bash scripts/test-debian.sh $(SUITE)

# Installs what `make run` or `make build` built, and builds nothing: run as
# root, a build would leave files in $(BUILD) that only root can change.
# Honours DESTDIR, as in `make install DESTDIR=/tmp/stage`. Keeps its own
# list of the files it placed: CMake's install_manifest.txt leaves DESTDIR
# out, and every later install, the tests' own included, overwrites it.
install:
	@test -x $(BUILD)/bin/lexivorn -a -f $(BUILD)/cmake_install.cmake || \
		{ echo "make install: Lexivorn is not built in $(BUILD); build it first with make run or make build" >&2; exit 1; }
	@cmake --install $(BUILD) --prefix $(or $(PREFIX),/usr/local) >$(BUILD)/install.log || \
		{ cat $(BUILD)/install.log; exit 1; }
	@cat $(BUILD)/install.log
	@sed -n 's/^-- \(Installing\|Up-to-date\): //p' $(BUILD)/install.log >$(BUILD)/installed-files.txt

# Removes the files the last `make install` placed.
uninstall:
	@test -f $(BUILD)/installed-files.txt || { echo "nothing installed from $(BUILD)" >&2; exit 1; }
	@xargs -d '\n' -r rm -fv <$(BUILD)/installed-files.txt
	@rm $(BUILD)/installed-files.txt

clean:
	@rm -rf $(BUILD) build-fuzz
