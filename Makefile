# The two set-up commands: `make run` and `make test`. Both install what is missing first.
.PHONY: run test build-release build-test bench deps format clean

JOBS ?= $(shell nproc)
RELEASE_DIR := build/release
TEST_DIR := build/test

deps:
	@scripts/install-deps

build-release: deps
	@cmake -S . -B $(RELEASE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(RELEASE_DIR) --target dotreel -j $(JOBS)

run: build-release
	@scripts/run-editor $(RELEASE_DIR)/dotreel

build-test: deps
	@cmake -S . -B $(TEST_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug \
	  -DDOTREEL_SANITIZE=ON -DDOTREEL_WERROR=ON >/dev/null
	@cmake --build $(TEST_DIR) -j $(JOBS)

test: build-test
	@cd $(TEST_DIR) && ctest --output-on-failure -j $(JOBS)

bench: build-release
	@cmake --build $(RELEASE_DIR) --target benchmarks -j $(JOBS)
	@scripts/run-benchmarks $(RELEASE_DIR)

format:
	@clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build

# A portable folder: both programs and the demo files, `make install PREFIX=DIR`.
.PHONY: install
install: build-release
	@test -n "$(PREFIX)" || { echo "make install: say where, e.g. make install PREFIX=~/dotreel" >&2; exit 2; }
	@cmake --install $(RELEASE_DIR) --prefix "$(PREFIX)"

# Fuzzing the readers of untrusted input with libFuzzer (clang), FUZZ_SECONDS per target.
.PHONY: fuzz
FUZZ_DIR := build/fuzz
FUZZ_SECONDS ?= 60
fuzz: deps
	@CC=clang CXX=clang++ cmake -S fuzz -B $(FUZZ_DIR) -G Ninja >/dev/null
	@cmake --build $(FUZZ_DIR) -j $(JOBS)
	@fuzz/run $(FUZZ_DIR) $(FUZZ_SECONDS)

# clang-tidy, cppcheck and clang-format over the project's own sources.
.PHONY: lint
lint: deps
	@scripts/lint
