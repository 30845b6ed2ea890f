# The two set-up commands: `make run` and `make test`. Both install what is missing.
.PHONY: run test deps build-dev build-release asan fuzz bench format clean screenshot

JOBS ?= $(shell nproc)

deps:
	@scripts/install-deps

build-release: deps
	@cmake --preset release >/dev/null
	@cmake --build --preset release -j $(JOBS)

build-dev: deps
	@cmake --preset dev >/dev/null
	@cmake --build --preset dev -j $(JOBS)

# The program: its window where a display is (FOLDER=... names the folder to
# open), otherwise its main job headless: the sample favourite previewed over
# a sample folder.
run: build-release
	@if [ -n "$${DISPLAY:-}$${WAYLAND_DISPLAY:-}" ]; then \
	    folder='$(FOLDER)'; exec build/release/gui/vantrel $${folder:+"$$folder"}; \
	else \
	    scripts/run-sample build/release/cli/vantrel-cli; \
	fi

# A picture of the window on the sample folder (Xvfb), written to docs/window.png.
screenshot: build-dev
	@scripts/install-deps --screenshot
	@scripts/screenshot

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
