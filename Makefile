# make run   installs what is missing, builds, and starts detrend
# make test  installs what is missing, builds, and runs the whole test suite

BUILD ?= build
JOBS ?= $(shell nproc)
# Debian packages the build and the tests need.
PACKAGES = g++ cmake make pkg-config libgtest-dev libplplot-dev plplot-driver-xwin libx11-dev \
  xvfb xauth xdotool imagemagick
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: run test deps configure build clean

deps:
	@missing=""; \
	for p in $(PACKAGES); do dpkg -s $$p >/dev/null 2>&1 || missing="$$missing $$p"; done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update && $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $$missing; \
	fi

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON

build: configure
	cmake --build $(BUILD) -j$(JOBS)

run: build
	./$(BUILD)/detrend

test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

clean:
	rm -rf $(BUILD)
