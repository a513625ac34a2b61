# The two commands a newcomer needs (see README.md): `make run` and `make test`;
# `make soak` and `make bench` for the long runs and the measurements.
# Both install what is missing (Debian packages only), configure and build first.
BUILD ?= build
JOBS ?= 2
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=Release

.PHONY: all setup configure build run test soak bench screenshots dist clean

all: build

setup:
	bash scripts/setup.sh

configure: setup
	cmake -S . -B $(BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j$(JOBS)

# Only what the demo runs: the program and the stand-in tools (the tests and benches wait).
run: configure
	cmake --build $(BUILD) -j$(JOBS) --target Quorvane makeskin vt
	bash scripts/demo.sh $(BUILD)

# Everything but the long runs, which have their own targets.
test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS) -LE 'soak|bench'

# Long random use of the real window (tens of thousands of actions).
soak: build
	cd $(BUILD) && ctest --output-on-failure -L soak

# Measurements against references built in the same tree; writes $(BUILD)/bench-results.md.
bench: build
	cd $(BUILD) && ctest --output-on-failure -L bench
	cat $(BUILD)/bench-results.md

# Pictures of both windows at 96 and 144 DPI without Wine's fonts: $(BUILD)/screenshots/*.png.
screenshots: build
	bash scripts/screenshots.sh $(BUILD)

# The release for players, built twice from clean and compared: dist/Quorvane-VERSION-win64.zip,
# dist/SHA256SUMS and the Quorvane.exe they name.
dist: setup
	bash scripts/dist.sh $(JOBS)

clean:
	rm -rf $(BUILD) build-dist dist
