# Front door for newcomers and CI. Everything goes through CMake presets;
# these targets only chain the steps.
JOBS ?= $(shell nproc)
CTEST_FLAGS ?= --output-on-failure -j $(JOBS)

.PHONY: all deps build release test test-default test-asan test-tsan test-windows windows fuzz demo gui bench clean

all: build

deps:
	@./scripts/install-deps.sh

build: deps
	@cmake --preset default >/dev/null
	@cmake --build --preset default -j $(JOBS)

# The demo and the benchmark need only their own programs, optimised.
release: deps
	@cmake --preset release >/dev/null
	@cmake --build --preset release -j $(JOBS) --target emberline

test-default: build
	@cd build/default && QT_QPA_PLATFORM=offscreen ctest $(CTEST_FLAGS)

test-asan: deps
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan -j $(JOBS)
	@cd build/asan && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 ctest $(CTEST_FLAGS)

test-tsan: deps
	@cmake --preset tsan >/dev/null
	@cmake --build --preset tsan -j $(JOBS)
	@cd build/tsan && TSAN_OPTIONS=halt_on_error=1 ctest $(CTEST_FLAGS) -L threaded

# Windows: cross-built with mingw-w64. The x86_64 test programs run under
# wine64; i686 is built only (wine64 cannot run it, and a program it cannot
# start would count as passed).
test-windows: deps
	@cmake --preset windows-x86_64 >/dev/null
	@cmake --build --preset windows-x86_64 -j $(JOBS)
	@./scripts/wine-ctest.sh build/windows/x86_64 $(CTEST_FLAGS)

# emberline.exe and emberline-gui.exe of both architectures in
# build/windows/bin/{x86_64,i686}/.
windows: deps
	@cmake --preset windows-x86_64 >/dev/null
	@cmake --build --preset windows-x86_64 -j $(JOBS) --target emberline emberline-gui
	@cmake --preset windows-i686 >/dev/null
	@cmake --build --preset windows-i686 -j $(JOBS) --target emberline emberline-gui windows_tests win32_dialog_tests
	@for arch in x86_64 i686; do \
	  mkdir -p build/windows/bin/$$arch && \
	  for program in emberline emberline-gui; do \
	    $$arch-w64-mingw32-strip -o build/windows/bin/$$arch/$$program.exe \
	      build/windows/$$arch/bin/$$program.exe || exit 1; \
	  done; \
	done
	@echo "emberline.exe and emberline-gui.exe: build/windows/bin/x86_64/ and build/windows/bin/i686/"

fuzz: deps
	@if [ -f fuzz/run.sh ]; then ./fuzz/run.sh; fi

# Everything CI runs: the suite, the suite again under ASan+UBSan, the
# threaded tests under TSan, the Windows suite under wine64, and a short
# bounded fuzz run.
test: test-default test-asan test-tsan test-windows fuzz

demo: release
	@./scripts/demo.sh build/release

gui: build
	@./scripts/gui.sh build/default

bench: deps
	@cmake --preset release >/dev/null
	@cmake --build --preset release -j $(JOBS) --target emberline_bench emberline_dialog_bench
	@build/release/bench/emberline_bench
	@QT_QPA_PLATFORM=offscreen build/release/bench/emberline_dialog_bench
	@cmake --build --preset release -j $(JOBS) --target emberline_station_bench
	@build/release/bench/emberline_station_bench

clean:
	rm -rf build
