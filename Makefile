# The commands of the README. Each first checks the Debian packages it needs (scripts/install-deps.sh).
BUILD      := build
BUILD_ASAN := build-asan
BUILD_DEB  := build-deb
BUILD_FUZZ := build-fuzz
BUILD_WIN  := build-win
# The libraries the Windows build needs, built from Debian's sources outside the clone.
export QUORVEL_WIN_CACHE ?= $(or $(XDG_CACHE_HOME),$(HOME)/.cache)/quorvel-win
JOBS       := $(shell nproc)
# Inputs each fuzzer runs in `make test` after replaying its corpus (about 25 s each here): a
# fixed count and seed, so the result does not depend on the machine's speed. `make fuzz` runs
# each for FUZZ_SECONDS.
FUZZ_RUNS    := number_text:200000 line_parser:40000 parameter_file:200000 datum_arguments:300000 datum:5000
FUZZ_SECONDS := 300

.PHONY: all build run test test-asan test-fuzz fuzz package windows test-windows format clean

all: build

# The programs only: no tests, and warnings stay warnings (a newer compiler must not stop a build).
build:
	@bash scripts/install-deps.sh run
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DQUORVEL_WERROR=OFF
	cmake --build $(BUILD) -j$(JOBS)

run: build
	./$(BUILD)/quorvel

# Every test, with warnings as errors; then the sanitizer build and the fuzzers.
test:
	@bash scripts/install-deps.sh test
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON -DQUORVEL_WERROR=ON
	cmake --build $(BUILD) -j$(JOBS)
	ctest --test-dir $(BUILD) --output-on-failure
	$(MAKE) --no-print-directory test-asan
	$(MAKE) --no-print-directory test-fuzz

# The code without Qt once more under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan:
	@bash scripts/install-deps.sh test
	cmake -S . -B $(BUILD_ASAN) -DCMAKE_BUILD_TYPE=Debug -DQUORVEL_SANITIZE=ON -DQUORVEL_WITH_QT=OFF \
	  -DQUORVEL_WERROR=ON
	cmake --build $(BUILD_ASAN) -j$(JOBS)
	ctest --test-dir $(BUILD_ASAN) --output-on-failure

# quorvel-batch's libFuzzer targets (clang, ASan, UBSan): the committed corpus replayed, then
# FUZZ_RUNS new inputs from seed 1. New finds go to a scratch folder, never into the corpus.
test-fuzz: fuzz-build
	for tr in $(FUZZ_RUNS); do \
	  t=$${tr%%:*} && \
	  rm -rf $(BUILD_FUZZ)/new-$$t && mkdir -p $(BUILD_FUZZ)/new-$$t && \
	  ./$(BUILD_FUZZ)/fuzz_$$t -runs=$${tr#*:} -seed=1 -timeout=10 \
	    -artifact_prefix=$(BUILD_FUZZ)/ $(BUILD_FUZZ)/new-$$t fuzz/corpus/$$t || exit 1; \
	done

# Longer fuzzing; what it finds stays in build-fuzz/corpus-* for the next run.
fuzz: fuzz-build
	for t in number_text line_parser parameter_file datum_arguments datum; do \
	  mkdir -p $(BUILD_FUZZ)/corpus-$$t && \
	  ./$(BUILD_FUZZ)/fuzz_$$t -max_total_time=$(FUZZ_SECONDS) -timeout=10 \
	    -artifact_prefix=$(BUILD_FUZZ)/ $(BUILD_FUZZ)/corpus-$$t fuzz/corpus/$$t || exit 1; \
	done

.PHONY: fuzz-build
fuzz-build:
	@bash scripts/install-deps.sh test
	cmake -S fuzz -B $(BUILD_FUZZ) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD_FUZZ) -j$(JOBS)

# A Debian package of an install into /usr, in build-deb/, built with Debian's hardening flags.
DEB_FLAGS := DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get
package:
	@bash scripts/install-deps.sh package
	cmake -S . -B $(BUILD_DEB) -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
	  -DBUILD_TESTING=OFF -DQUORVEL_WERROR=OFF \
	  -DCMAKE_CXX_FLAGS="$$($(DEB_FLAGS) CPPFLAGS) $$($(DEB_FLAGS) CXXFLAGS)" \
	  -DCMAKE_EXE_LINKER_FLAGS="$$($(DEB_FLAGS) LDFLAGS)"
	cmake --build $(BUILD_DEB) -j$(JOBS)
	cd $(BUILD_DEB) && cpack -G DEB
	@ls $(BUILD_DEB)/*.deb

# The Windows installer and zip, cross-built with MinGW-w64:
# build-win/quorvel-VERSION-win64-setup.exe and build-win/quorvel-VERSION-win64.zip. The first
# run builds Qt for Windows (about 30 minutes).
windows:
	@bash scripts/install-deps.sh windows
	QUORVEL_WIN_PREFIX=$(QUORVEL_WIN_CACHE)/prefix cmake -S . -B $(BUILD_WIN) -G Ninja \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
	  -DBUILD_TESTING=OFF -DQUORVEL_WERROR=OFF
	cmake --build $(BUILD_WIN) -j$(JOBS)
	cmake --build $(BUILD_WIN) --target windows_package

# The Windows build under Wine: the platform layer's tests, quorvel-batch.exe against the Linux
# quorvel-batch (reference vectors, files, encodings, messages, exit statuses), quorvel.exe
# driven by keyboard and mouse, then the packages installed and uninstalled. Warnings are errors here, as in `make test`.
test-windows:
	@bash scripts/install-deps.sh test
	@bash scripts/install-deps.sh windows
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON -DQUORVEL_WERROR=ON
	cmake --build $(BUILD) -j$(JOBS) --target quorvel-batch
	QUORVEL_WIN_PREFIX=$(QUORVEL_WIN_CACHE)/prefix cmake -S . -B $(BUILD_WIN) -G Ninja \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
	  -DBUILD_TESTING=ON -DQUORVEL_WERROR=ON
	cmake --build $(BUILD_WIN) -j$(JOBS)
	cmake --build $(BUILD_WIN) --target windows_package
	ctest --test-dir $(BUILD_WIN) --output-on-failure
	bash tests/windows/run.sh $(BUILD_WIN) $(BUILD)
	bash tests/windows/window_cases.sh $(BUILD_WIN) $(BUILD)
	bash tests/windows/package_test.sh $(BUILD_WIN)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(BUILD_ASAN) $(BUILD_DEB) $(BUILD_FUZZ) $(BUILD_WIN)
