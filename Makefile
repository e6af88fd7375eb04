# The two commands of the README: `make run` and `make test`.
JOBS ?= $(shell nproc)
BUILD ?= build
# ccache, when present, shares compiled objects between build folders.
LAUNCHER := $(if $(shell command -v ccache),-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
ASAN_BUILD ?= build-asan
# ThreadSanitizer runs of the suites whose code shares data with threads;
# not part of `make test`. Add a suite with `make tsan TSAN_TESTS="..."`.
TSAN_BUILD ?= build-tsan
TSAN_TESTS ?= test_core test_core_file test_platform_kernel test_platform_window test_sound test_movie test_network

.PHONY: run test deps build build-asan tsan clean

deps:
	@bash tools/install-deps.sh

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZARVO_WERROR=ON $(LAUNCHER)

$(ASAN_BUILD)/build.ninja: | deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZARVO_SANITIZE=ON -DZARVO_BUILD_BENCH=OFF -DZARVO_WERROR=ON $(LAUNCHER)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

build-asan: deps $(ASAN_BUILD)/build.ninja
	cmake --build $(ASAN_BUILD) -j $(JOBS)

$(TSAN_BUILD)/build.ninja: | deps
	cmake -S . -B $(TSAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZARVO_TSAN=ON -DZARVO_BUILD_BENCH=OFF $(LAUNCHER)

tsan: deps $(TSAN_BUILD)/build.ninja
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target $(TSAN_TESTS)
	cd $(TSAN_BUILD) && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
	  ctest --output-on-failure -j $(JOBS) -E '_NOT_BUILT|^fuzz_'

# The game plays in a copy of data/ in the build tree, so playing never
# changes the repository; the best times saved there are kept across runs.
RUN_DIR := $(BUILD)/run
run: build
	@mkdir -p $(RUN_DIR)
	@if [ -f $(RUN_DIR)/date/time.dat ]; then cp $(RUN_DIR)/date/time.dat $(RUN_DIR)/.time.dat.keep; fi
	@cp -r data/. $(RUN_DIR)/
	@if [ -f $(RUN_DIR)/.time.dat.keep ]; then mv $(RUN_DIR)/.time.dat.keep $(RUN_DIR)/date/time.dat; fi
	cd $(RUN_DIR) && $(CURDIR)/$(BUILD)/zarvo

test: build build-asan
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	tools/run-whole-shuffled.sh $(BUILD)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tools/lsan.supp \
	  ctest --output-on-failure -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tools/lsan.supp tools/run-whole-shuffled.sh $(ASAN_BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD)
