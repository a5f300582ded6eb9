# Thin wrappers over the CMake presets. `make run` builds and starts the
# questionnaire with CMake and a C++ compiler alone, installing nothing
# (tools/build-and-run.sh); `make test` installs what the tests need
# (Debian) and runs every test.
JOBS ?= 2
FUZZ_SECONDS ?= 20
# WERROR=ON makes every compiler warning an error, as CI builds.
WERROR ?= OFF

.PHONY: run test test-asan test-libcxx fuzz bench windows tidy deps clean

deps:
	@sh tools/ensure-deps.sh base

run:
	@JOBS=$(JOBS) sh tools/build-and-run.sh

test: deps
	cmake --preset release -DPELORIN_WERROR=$(WERROR)
	cmake --build --preset release -j$(JOBS)
	ctest --preset release

test-asan: deps
	cmake --preset asan -DPELORIN_WERROR=$(WERROR)
	cmake --build --preset asan -j$(JOBS)
	ctest --preset asan

test-libcxx: deps
	@sh tools/ensure-deps.sh libcxx
	cmake --preset libcxx
	cmake --build --preset libcxx -j$(JOBS)
	ctest --preset libcxx

fuzz:
	@sh tools/ensure-deps.sh base fuzz
	cmake --preset fuzz
	cmake --build --preset fuzz -j$(JOBS)
	sh tools/run-fuzzers.sh build/fuzz/fuzz $(FUZZ_SECONDS)

windows: test
	@sh tools/ensure-deps.sh windows
	sh tools/windows-check.sh

bench:
	@sh tools/ensure-deps.sh base bench
	cmake --preset bench
	cmake --build --preset bench -j$(JOBS) --target pelorin pelorin_bench
	./build/bench/bench/pelorin_bench
	python3 bench/scripted_run.py --program build/bench/pelorin
	python3 bench/terminal_bytes.py --program build/bench/pelorin

# The house rules of .clang-tidy over every source file of the programs and
# their tests (the release configuration's), findings as errors.
tidy:
	@sh tools/ensure-deps.sh base tidy
	cmake --preset release >/dev/null
	sh tools/tidy.sh build/release $(JOBS)

clean:
	rm -rf build
