# The two commands of the README: `make run` and `make test`. Both install what is missing first.
BUILD      := build
BUILD_ASAN := build-asan
JOBS       := $(shell nproc)

.PHONY: all deps build run test test-asan format clean

all: build

deps:
	@bash scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j$(JOBS)

run: build
	./$(BUILD)/quorvel

test: build
	ctest --test-dir $(BUILD) --output-on-failure
	$(MAKE) --no-print-directory test-asan
	$(MAKE) --no-print-directory test-fuzz

# The code without Qt once more under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: deps
	cmake -S . -B $(BUILD_ASAN) -DCMAKE_BUILD_TYPE=Debug -DQUORVEL_SANITIZE=ON -DQUORVEL_WITH_QT=OFF
	cmake --build $(BUILD_ASAN) -j$(JOBS)
	ctest --test-dir $(BUILD_ASAN) --output-on-failure

# quorvel-batch's libFuzzer targets (clang, ASan, UBSan), each for a bounded time from its
# committed seeds; what they find new stays in build-fuzz.
.PHONY: test-fuzz
test-fuzz: deps
	cmake -S fuzz -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build build-fuzz -j$(JOBS)
	for t in number_text line_parser; do \
	  mkdir -p build-fuzz/corpus-$$t && \
	  ./build-fuzz/fuzz_$$t -max_total_time=20 -timeout=10 -artifact_prefix=build-fuzz/ \
	    build-fuzz/corpus-$$t fuzz/corpus/$$t || exit 1; \
	done

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(BUILD_ASAN)
