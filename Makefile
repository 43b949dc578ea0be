# make run      installs what is missing, builds, and starts detrend
# make test     installs what is missing, builds, and runs the whole test suite
# make install  installs detrend and its manual page under PREFIX

BUILD ?= build
SANITIZE_BUILD ?= build-sanitize
FUZZ_BUILD ?= build-fuzz
JOBS ?= $(shell nproc)
# Seconds each fuzz target runs: briefly in make test, longer in make fuzz.
TEST_FUZZ_SECONDS ?= 20
FUZZ_SECONDS ?= 600
PREFIX ?= /usr/local
# Debian packages the build and the tests need.
PACKAGES = g++ cmake make pkg-config libgtest-dev libplplot-dev plplot-driver-xwin libx11-dev \
  xvfb xauth xdotool x11-utils imagemagick libxml2-utils clang libclang-rt-14-dev groff-base
# The parallel pipeline over the series; the formatting check.
PACKAGES += libtbb-dev clang-format
# Plot files: cairo, PNG encoding and the font the pictures use.
PACKAGES += libcairo2-dev libpng-dev fonts-dejavu-core
# The XML parser of the TRiDaS reader.
PACKAGES += libxml2-dev
# CI builds treat every warning as an error.
WERROR := $(if $(CI),-DDETREND_WERROR=ON,)
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: run test fuzz install deps configure build sanitize-build fuzz-build clean

deps:
	@missing=""; \
	for p in $(PACKAGES); do dpkg -s $$p >/dev/null 2>&1 || missing="$$missing $$p"; done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update && $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $$missing; \
	fi

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON $(WERROR)

build: configure
	cmake --build $(BUILD) -j$(JOBS)

run: build
	@echo "To try it: input examples/first-try.txt, output first-try.out, 3 columns, flag -999, cutoff 32"
	@echo "(README.md walks through this run; reply / to the first question to leave)"
	./$(BUILD)/detrend

install: build
	$(SUDO) cmake --install $(BUILD) --prefix $(PREFIX)

# The sanitized and fuzz builds are compiled at -O1 with line tables only:
# half the compile time of -O2 -g, and what the sanitizers' reports need.
CHECKED_FLAGS = -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG"

# Everything with AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize-build: deps
	cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON -DDETREND_SANITIZE=ON \
	  -DDETREND_BENCH=OFF $(CHECKED_FLAGS)
	cmake --build $(SANITIZE_BUILD) -j$(JOBS)

# The libFuzzer targets, built with clang.
fuzz-build: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDETREND_FUZZ=ON \
	  -DDETREND_FUZZ_SECONDS=$(TEST_FUZZ_SECONDS) $(CHECKED_FLAGS)
	cmake --build $(FUZZ_BUILD) -j$(JOBS)

# The whole suite: the normal build (GUI tests included), the sanitized build,
# then the fuzz targets' regression cases and short runs.
test: build sanitize-build fuzz-build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)
	cd $(SANITIZE_BUILD) && ctest --output-on-failure -j$(JOBS) -LE gui
	cd $(FUZZ_BUILD) && ctest --output-on-failure -j$(JOBS) -L fuzz

fuzz: fuzz-build
	for t in table:table reply:replies field:fields batch_reader:batch; do \
	  fuzz/run_fuzzer.sh $(FUZZ_BUILD)/fuzz/fuzz_$${t%%:*} $(FUZZ_SECONDS) fuzz/corpus/$${t#*:} \
	    $(FUZZ_BUILD)/fuzz/crashes/$${t%%:*} || exit 1; \
	done

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(FUZZ_BUILD)
