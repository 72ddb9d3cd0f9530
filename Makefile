# Orvane: `make run` installs what is missing, builds and starts the panel;
# `make test` installs, builds and runs every test.
BUILD ?= build
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc)

.PHONY: all deps configure build run test bench bench-large screenshots fuzz sanitize package mutate format tidy clean

all: build

deps:
	@scripts/install-deps

$(BUILD)/build.ninja:
	@scripts/install-deps
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

configure: $(BUILD)/build.ninja
	@if [ -n "$(CMAKE_FLAGS)" ]; then cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null; fi

build: deps configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@scripts/run $(BUILD)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 600

bench: build
	@scripts/bench $(BUILD)

# The same benches over calendars of 100,000 events (several minutes).
bench-large: build
	@scripts/bench --large $(BUILD)

screenshots: build
	@scripts/screenshots $(BUILD)

fuzz: deps
	@scripts/fuzz

# A Debian package in $(BUILD), then a check of what it holds.
package: build
	cd $(BUILD) && cpack -G DEB
	@scripts/check-package $(BUILD)

# Leaks inside system libraries (fontconfig, D-Bus) are suppressed for every program the
# tests start, the fuzz replays among them.
sanitize:
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	  $(MAKE) test BUILD=build-asan CMAKE_FLAGS="-DORVANE_SANITIZE=ON -DORVANE_BENCH=OFF $(SANITIZE_FLAGS)"

# Mutation testing: 60 small faults picked at random in the core, settings and network code,
# each built in build-mutate/ and run against its folder's tests. MUTATE_FLAGS changes that.
MUTATE_FLAGS ?= --sample 60
mutate: deps
	@scripts/mutate $(MUTATE_FLAGS)

# The sources under clang-format (rewrites them) and clang-tidy (reports, exit 1 on a finding).
format: deps
	@scripts/check-style format --fix

tidy: build
	@scripts/check-style tidy $(BUILD)

clean:
	rm -rf $(BUILD)
