# The two commands of the README, and a few more for developers.
.PHONY: deps run-deps build test run package example bench sanitize asan tsan asan-all tsan-all fuzz mutants format clean

JOBS ?= $(shell nproc)

# Everything the tests, the packages and CI need.
deps:
	@bash scripts/install-deps.sh build run test

# Only what building and running the programs needs.
run-deps:
	@bash scripts/install-deps.sh build run

build: deps
	@cmake --preset default >/dev/null
	@cmake --build --preset default -j $(JOBS)

test: build
	@ctest --preset default -j $(JOBS)

run: run-deps
	@cmake --preset default >/dev/null
	@cmake --build --preset default -j $(JOBS) --target KeshVistrel kesh-host strip-painter
	@bash scripts/run.sh

# Debian packages in build/default/packages.
package: build
	@cd build/default && cpack --config CPackConfig.cmake

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

# Everything under ASan+UBSan; the SDK, the host and the SDK's fault tests under TSan.
asan-all: deps
	@cmake --preset asan-all >/dev/null
	@cmake --build --preset asan-all -j $(JOBS)
	@ctest --preset asan-all -j $(JOBS)

tsan-all: deps
	@cmake --preset tsan-all >/dev/null
	@cmake --build --preset tsan-all -j $(JOBS)
	@ctest --preset tsan-all -j $(JOBS)

sanitize: asan-all tsan-all

# Every deliberate fault in scripts/mutants/, each in a scratch copy; each must be caught.
mutants: deps
	@bash scripts/mutants.sh

# Every fuzz target for a bounded time (FUZZ_SECONDS, default 60).
fuzz: deps
	@bash scripts/ci-reliability.sh

format:
	@git ls-files '*.h' '*.cpp' '*.c' | xargs clang-format -i

clean:
	@rm -rf build
