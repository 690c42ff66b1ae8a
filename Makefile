# Front door for newcomers and CI. Everything goes through CMake presets;
# these targets only chain the steps.
JOBS ?= $(shell nproc)
CTEST_FLAGS ?= --output-on-failure -j $(JOBS)

.PHONY: all deps build release test test-default test-asan test-tsan test-windows windows fuzz demo gui bench clean \
        package package-deb package-windows-x64 package-windows-x86 test-package

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
	@cmake --build --preset tsan -j $(JOBS) --target threaded_tests
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

# The packages, in build/packages/: emberline_VERSION_amd64.deb, and for
# Windows x64 and x86 an installer and a portable zip,
# emberline-VERSION-windows-{x64,x86}.{msi,zip}. Each is made from the
# project's install rules (packaging/).
package: package-deb package-windows-x64 package-windows-x86
	@ls -1 build/packages/*

package-deb: deps
	@cmake --preset release >/dev/null
	@cmake --build --preset release --target deb
	@mkdir -p build/packages && rm -f build/packages/*.deb
	@cp build/release/packaging/deb/emberline_*.deb build/packages/

package-windows-x64 package-windows-x86: package-windows-%: deps
	@arch=$$(echo $* | sed 's/x64/x86_64/;s/x86$$/i686/') && \
	  cmake --preset windows-$$arch >/dev/null && \
	  cmake --build --preset windows-$$arch -j $(JOBS) --target windows-packages && \
	  mkdir -p build/packages && rm -f build/packages/*-windows-$*.* && \
	  cp build/windows/$$arch/packages/*-windows-$*.msi build/windows/$$arch/packages/*-windows-$*.zip build/packages/

# The packages installed, run and removed: the .deb with dpkg (root, through
# sudo when needed: CI's machine is thrown away afterwards), the x64 MSI under
# wine64 in a fresh prefix, the zip's content against its README.txt. The x86
# programs are not built here (`make package` builds them): see the README's
# "Packages".
test-package: package-deb package-windows-x64
	@$$([ "$$(id -u)" -eq 0 ] || echo sudo) tests/packaging/deb_install_test.sh build/packages/emberline_*_amd64.deb
	@tests/packaging/msi_install_test.sh build/packages/emberline-*-windows-x64.msi build/windows/x86_64
	@tests/packaging/zip_content_test.sh build/packages/emberline-*-windows-x64.zip

# Everything CI runs: the suite, the suite again under ASan+UBSan, the
# threaded tests under TSan, the Windows suite under wine64, a short bounded
# fuzz run, and the packages installed and removed.
test: test-default test-asan test-tsan test-windows fuzz test-package

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
