# The two commands of the README, and a few more for developers.
.PHONY: deps build test run example bench sanitize asan tsan format clean

JOBS ?= $(shell nproc)

deps:
	@bash scripts/install-deps.sh

build: deps
	@cmake --preset default >/dev/null
	@cmake --build --preset default -j $(JOBS)

test: build
	@ctest --preset default -j $(JOBS)

run: build
	@bash scripts/run.sh

# The example applet against a host peer that prints what it receives.
example: build
	@bash scripts/example.sh

bench: deps
	@bash scripts/bench.sh

asan: deps
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan -j $(JOBS)
	@ctest --preset asan -j $(JOBS)

tsan: deps
	@cmake --preset tsan >/dev/null
	@cmake --build --preset tsan -j $(JOBS)
	@ctest --preset tsan -j $(JOBS)

sanitize: asan tsan

format:
	@git ls-files '*.h' '*.cpp' '*.c' | xargs clang-format -i

clean:
	@rm -rf build
