# The whole set-up on a fresh Debian 12 machine, as root:
#   make demo   build the stub and the tools, run a demo under Wine
#   make test   build everything and run every test (native and under Wine)
#   make bench  decoder, extraction, start-up and builder benchmarks (prints figures; not a test)
#   make robustness  damaged installers under Wine (the corruption matrix)
#               and the resource limits, on the 64-bit build
#   make screenshots  PNGs of the installer's windows (build/native/screenshots)
#   make install      tvsfx into $(DESTDIR)$(PREFIX)/bin (PREFIX=/usr/local), README beside it
#   make deb          a Debian package of the same (build/native/package/tvsfx_*.deb)
# Each target installs what is missing first (scripts/install-deps.sh).

BUILD      ?= build
NATIVE_DIR := $(BUILD)/native
WIN32_DIR  := $(BUILD)/win32
WIN64_DIR  := $(BUILD)/win64
FUZZ_DIR   := $(BUILD)/fuzz
JOBS       ?= $(shell nproc)

.PHONY: all deps native win32 win64 fuzz demo test bench robustness screenshots install deb clean

all: native win32 win64

deps:
	@bash scripts/install-deps.sh

# The native build embeds both stubs in the builder, so the stubs come first.
native: win32 win64
	@cmake -S . -B $(NATIVE_DIR) -DCMAKE_BUILD_TYPE=Release \
	    -DTALVOK_STUB_EXE=$(abspath $(WIN32_DIR))/src/tvsfx32.exe \
	    -DTALVOK_STUB64_EXE=$(abspath $(WIN64_DIR))/src/tvsfx64.exe >/dev/null
	@cmake --build $(NATIVE_DIR) -j $(JOBS)

win32: deps
	@cmake -S . -B $(WIN32_DIR) -DCMAKE_BUILD_TYPE=MinSizeRel \
	    -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-w64-mingw32.cmake \
	    -DTALVOK_NATIVE_DIR=$(abspath $(NATIVE_DIR)) >/dev/null
	@cmake --build $(WIN32_DIR) -j $(JOBS)

# The same sources for x86-64: tvsfx64.exe and the Windows-side tests, which
# run on every machine (some kernels run no 32-bit programs), and tvsfx.exe,
# the builder for Windows, which embeds both stubs.
win64: win32
	@cmake -S . -B $(WIN64_DIR) -DCMAKE_BUILD_TYPE=MinSizeRel \
	    -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64-w64-mingw32.cmake \
	    -DTALVOK_STUB_EXE=$(abspath $(WIN32_DIR))/src/tvsfx32.exe \
	    -DTALVOK_NATIVE_DIR=$(abspath $(NATIVE_DIR)) >/dev/null
	@cmake --build $(WIN64_DIR) -j $(JOBS)

# Sanitised fuzz targets (clang, libFuzzer); ctest runs a short smoke pass.
fuzz: deps
	@cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALVOK_FUZZ=ON \
	    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
	@cmake --build $(FUZZ_DIR) -j $(JOBS)

demo: native
	@bash scripts/demo.sh $(NATIVE_DIR) $(WIN32_DIR) $(WIN64_DIR)

test: native fuzz
	@bash scripts/run-tests.sh $(NATIVE_DIR) $(WIN32_DIR) $(WIN64_DIR) $(FUZZ_DIR)

bench: native
	@bash scripts/install-deps.sh bench
	@bash scripts/bench.sh $(NATIVE_DIR) $(WIN32_DIR) $(WIN64_DIR)
	@bash scripts/bench-extract.sh $(NATIVE_DIR) $(WIN32_DIR) $(WIN64_DIR)
	@bash scripts/bench-start.sh $(NATIVE_DIR) $(WIN32_DIR) $(WIN64_DIR)

# The corruption matrix in full (make test runs a sample of it), then the
# resource limits with their measurements.
robustness: native
	@python3 tests/win32/robustness/corruption_matrix.py --tvsfx $(NATIVE_DIR)/builder/tvsfx --arch x64 \
	    --driver $(WIN64_DIR)/tests/win32/matrix_driver.exe --fake-setup $(WIN64_DIR)/tests/win32/fake_setup.exe \
	    --wine-run scripts/wine-run.sh --wine-arch win64 --prefix $(abspath $(WIN64_DIR))/wineprefix \
	    --out $(WIN64_DIR)/robustness
	@python3 tests/win32/robustness/resource_limits.py --tvsfx $(NATIVE_DIR)/builder/tvsfx --arch x64 \
	    --driver $(WIN64_DIR)/tests/win32/matrix_driver.exe --fake-setup $(WIN64_DIR)/tests/win32/fake_setup.exe \
	    --wine-run scripts/wine-run.sh --wine-arch win64 --prefix $(abspath $(WIN64_DIR))/wineprefix \
	    --out $(WIN64_DIR)/resource-limits

# PNGs of the installer's windows under Xvfb, for a person to look at.
screenshots: native
	@bash scripts/screenshots.sh $(NATIVE_DIR) $(WIN32_DIR) $(WIN64_DIR)

# tvsfx carries both stubs inside, so installing it is installing the tool.
PREFIX ?= /usr/local
install: native
	@DESTDIR=$(DESTDIR) cmake --install $(NATIVE_DIR) --prefix $(PREFIX)

deb: native
	@cd $(NATIVE_DIR) && cpack -G DEB

clean:
	rm -rf $(BUILD)
