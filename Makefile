# The two set-up commands: `make run` and `make test`. Both install what is missing first:
# `make run` only what building and running need, `make test` the test tools as well.
.PHONY: run test build-release build-test bench deps deps-run format clean

JOBS ?= $(shell nproc)
RELEASE_DIR := build/release
TEST_DIR := build/test
# The folder `make run` works in: outside the build, so `make clean` never touches saved work.
WORK ?= $(HOME)/Dotreel
# What the editor, the tool and their install need, without the test programs.
PROGRAMS := dotreel dotreel-tool dotreel-make-demo dotreel-icon

deps:
	@scripts/install-deps test

deps-run:
	@scripts/install-deps run

build-release: deps-run
	@cmake -S . -B $(RELEASE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(RELEASE_DIR) --target $(PROGRAMS) -j $(JOBS)

run: build-release
	@scripts/run-editor $(RELEASE_DIR)/dotreel "$(WORK)"

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

# `make install PREFIX=DIR`: a portable folder (both programs, the demo beside them). A system
# prefix (/usr, /usr/local, ~/.local) gets the conventional layout: bin/, share/applications,
# share/icons, the demo in share/dotreel; LAYOUT=portable or LAYOUT=system chooses either way.
.PHONY: install
SYSTEM_PREFIXES := /usr /usr/ /usr/local /usr/local/ $(HOME)/.local $(HOME)/.local/
LAYOUT ?= $(if $(filter $(SYSTEM_PREFIXES),$(PREFIX)),system,portable)
install:
	@test -n "$(PREFIX)" || { echo "make install: say where, e.g. make install PREFIX=~/dotreel" >&2; exit 2; }
	@case "$(LAYOUT)" in portable|system) ;; *) echo "make install: LAYOUT is portable or system" >&2; exit 2 ;; esac
	@$(MAKE) --no-print-directory build-release
	@cmake --install $(RELEASE_DIR) --prefix "$(PREFIX)" $(if $(filter system,$(LAYOUT)),--component system)

# Fuzzing the readers of untrusted input with libFuzzer (clang): a million runs per target, at
# most FUZZ_SECONDS each.
.PHONY: fuzz
FUZZ_DIR := build/fuzz
# Empty: fuzz/run's own cap per target.
FUZZ_SECONDS ?=
fuzz: deps
	@CC=clang CXX=clang++ cmake -S fuzz -B $(FUZZ_DIR) -G Ninja >/dev/null
	@cmake --build $(FUZZ_DIR) -j $(JOBS)
	@fuzz/run $(FUZZ_DIR) $(FUZZ_SECONDS)

# clang-tidy, cppcheck and clang-format over the project's own sources.
.PHONY: lint
lint: deps
	@scripts/lint
