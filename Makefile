# The two commands a newcomer needs: `make run` and `make test`.
PRESET ?= debug
BUILD_DIR := build/$(PRESET)
DEPS_STAMP := build/.deps-installed

.PHONY: all deps configure build run test test-asan bench demo screenshot fuzz package format check-format clean

all: build

$(DEPS_STAMP): scripts/install-deps.sh
	bash scripts/install-deps.sh
	@mkdir -p build && touch $@

deps: $(DEPS_STAMP)

configure: $(DEPS_STAMP)
	@if [ ! -f $(BUILD_DIR)/build.ninja ]; then cmake --preset $(PRESET); fi

build: configure
	cmake --build --preset $(PRESET)

# Starts the program; a small generated demo set waits in demo/ for Add Folder.
run: build
	@bash scripts/make-demo.sh demo
	$(BUILD_DIR)/bin/korvane

test: build
	ctest --preset $(PRESET) -j2

# The core suites again under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: $(DEPS_STAMP)
	@if [ ! -f build/asan/build.ninja ]; then cmake --preset asan; fi
	cmake --build --preset asan
	ctest --preset asan -j2

# The fuzz targets (clang, ASan + UBSan), each for FUZZ_SECONDS.
FUZZ_SECONDS ?= 300
fuzz: $(DEPS_STAMP)
	bash fuzz/run.sh $(FUZZ_SECONDS)

bench:
	$(MAKE) PRESET=release build
	bash bench/run.sh build/release

# build/package/korvane_<version>_<arch>.deb: binaries under /usr, the program
# folder /usr/lib/korvane, the desktop entry and icons, dependencies declared.
package: $(DEPS_STAMP)
	@if [ ! -f build/package/build.ninja ]; then cmake --preset package; fi
	cmake --build --preset package
	cd build/package && cpack -G DEB

# The README's picture of the window (under a virtual X server).
screenshot: build
	bash scripts/screenshot.sh docs/screenshot.png $(BUILD_DIR)

# Rewrites the C++ sources as .clang-format says; CI fails on a difference.
format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

check-format:
	bash scripts/check-format.sh

clean:
	rm -rf build demo
