# The two set-up commands: `make run` and `make test`. Both install what is missing.
.PHONY: run test deps build-dev build-release asan fuzz bench format clean

JOBS ?= $(shell nproc)

deps:
	@scripts/install-deps

build-release: deps
	@cmake --preset release >/dev/null
	@cmake --build --preset release -j $(JOBS)

build-dev: deps
	@cmake --preset dev >/dev/null
	@cmake --build --preset dev -j $(JOBS)

# The program's main job, headless: a sample favourite previewed over sample names.
run: build-release
	@scripts/run-sample build/release/cli/vantrel-cli

test: build-dev
	@ctest --preset dev -j $(JOBS)

asan: deps
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan -j $(JOBS)
	@ctest --preset asan -j $(JOBS)

fuzz:
	@scripts/install-deps --fuzz
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz -j $(JOBS)

bench: build-release
	@build/release/bench/vantrel_bench

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	@rm -rf build
