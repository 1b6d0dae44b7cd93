# The two commands a newcomer needs are `make run` and `make test`; both install
# the Debian packages the build needs when they are missing, then build.

BUILD      ?= build
BENCH_BUILD = build-bench
PACKAGE_BUILD = build-package
FUZZ_BUILD  = build-fuzz
FUZZ_SECONDS ?= 60

# Debian 12 packages: toolchain, libraries, and what the headless tests run on.
PACKAGES = cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev \
           libglib2.0-dev nlohmann-json3-dev libabsl-dev libgtk-3-dev libwebkit2gtk-4.1-dev \
           libsoup-3.0-dev libxml2-dev libx11-dev libxtst-dev \
           xvfb xserver-xorg-core xserver-xorg-video-dummy xauth x11-utils x11-xserver-utils openbox dbus dbus-x11 \
           xdotool imagemagick python3-dbusmock libglib2.0-bin desktop-file-utils appstream dpkg-dev tzdata \
           bubblewrap xdg-dbus-proxy hunspell-ru hunspell-en-us \
           libxi-dev libxkbcommon-dev libgtk-layer-shell-dev sway grim wtype python3-gi gir1.2-glib-2.0 \
           lintian devscripts man-db gsettings-desktop-schemas gnome-settings-daemon-common \
           xdg-desktop-portal xdg-desktop-portal-kde libkf5globalaccel-bin
# A real notification server for the reminder tests.
PACKAGES += dunst
# The tray's menu over D-Bus; real tray hosts (waybar on sway, trayer on X11); a screen reader's view of the widgets.
PACKAGES += libdbusmenu-gtk3-dev waybar trayer at-spi2-core python3-pyatspi gir1.2-atspi-2.0

FUZZ_PACKAGES = clang libclang-rt-14-dev

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps build test run bench fuzz package clean

all: build

# Installs only what dpkg does not list as installed.
define install_missing
	@missing=$$(for p in $(1); do \
	    dpkg-query -W -f='$${Status}\n' "$$p" 2>/dev/null | grep -q 'install ok installed' || echo "$$p"; \
	  done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing:" $$missing; \
	  $(SUDO) apt-get update -q && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -q --no-install-recommends $$missing; \
	fi
endef

deps:
	$(call install_missing,$(PACKAGES))

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) -G Ninja

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD)

# Two suites at a time: each desktop suite has its own display and bus. A suite
# that fails runs once more (its failed run's output stays in the log): with two
# virtual desktops on two cores, a key or a focus now and then never arrives.
test: build
	cd $(BUILD) && ctest --output-on-failure --timeout 300 -j2 --repeat until-pass:2

run: build
	demo/run-demo $(BUILD)

bench: build
	cmake -S . -B $(BENCH_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DORVELA_BENCH=ON
	cmake --build $(BENCH_BUILD)
	$(BENCH_BUILD)/bin/orvela-core-bench
	tests/integration/desktop-session $(BENCH_BUILD)/bin/hotkey-latency $(BUILD)/bin/orvela-capture-preview
	tests/integration/desktop-session bench/startup $(BENCH_BUILD)/bin
	tests/integration/desktop-session bench/idle $(BENCH_BUILD)/bin
	tests/integration/desktop-session bench/soak $(BENCH_BUILD)/bin

# A .deb for /usr, from a release build of its own.
package: deps
	cmake -S . -B $(PACKAGE_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DORVELA_TESTS=OFF
	cmake --build $(PACKAGE_BUILD)
	cd $(PACKAGE_BUILD) && cpack -G DEB
	@ls $(PACKAGE_BUILD)/*.deb

fuzz: deps
	$(call install_missing,$(FUZZ_PACKAGES))
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DORVELA_TESTS=OFF -DORVELA_DESKTOP=OFF -DORVELA_FUZZ=ON
	cmake --build $(FUZZ_BUILD)
	mkdir -p $(FUZZ_BUILD)/corpus
	$(FUZZ_BUILD)/bin/bridge-message-fuzz -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	  $(FUZZ_BUILD)/corpus fuzz/seeds

clean:
	rm -rf $(BUILD) $(BENCH_BUILD) $(FUZZ_BUILD) $(PACKAGE_BUILD)
