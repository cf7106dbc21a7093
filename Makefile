# Set-up, build and run on Debian 12 or 13: every target installs what is missing first.
# QT=6 builds against Qt 6 instead of Qt 5, in a folder of its own.
QT ?= 5
ifeq ($(QT),5)
BUILD ?= build
QT_PACKAGES := qtbase5-dev libqt5serialport5-dev libqt5charts5-dev libqt5svg5-dev qttools5-dev \
  qttools5-dev-tools
else ifeq ($(QT),6)
BUILD ?= build-qt6
QT_PACKAGES := qt6-base-dev qt6-serialport-dev qt6-5compat-dev qt6-qpa-plugins qt6-charts-dev \
  qt6-svg-dev qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools
# Qt Charts needs Qt OpenGL's headers: on Debian 12 a package of their own that nothing
# pulls in; on Debian 13 they are in qt6-base-dev.
ifeq ($(shell cut -d. -f1 /etc/debian_version 2>/dev/null),12)
QT_PACKAGES += libqt6opengl6-dev
endif
else
$(error QT is $(QT); it must be 5 or 6)
endif
# Where the build puts every program (CMAKE_RUNTIME_OUTPUT_DIRECTORY).
BIN = $(BUILD)/bin
CONFIGURE = cmake -S . -DHEADREADOUT_QT=$(QT)
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 60
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
PACKAGES := $(QT_PACKAGES) cmake g++ make pkg-config libmosquitto-dev fonts-liberation xvfb \
  xauth x11-xserver-utils x11-utils
# What the tests run beside the programs: Python's csv module, and a broker of their own.
TEST_PACKAGES := python3 mosquitto-clients openssl
FUZZ_PACKAGES := clang libclang-rt-dev
# At 96 dpi, where the window is drawn unscaled.
XVFB := xvfb-run -a -s "-screen 0 400x300x24 -dpi 96"

.PHONY: all deps test-deps build run test check demo demo-chart fuzz bench lint install package clean

all: build

define install_missing
	@missing=$$(for p in $(1); do \
	  dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || echo $$p; \
	done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing Debian packages:" $$missing; \
	  $(SUDO) apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq --no-install-recommends $$missing; \
	fi
endef

deps:
	$(call install_missing,$(PACKAGES))

build: deps
	$(CONFIGURE) -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j$(JOBS)

# With no display the window comes up on a virtual X server, and a screenshot of it is
# saved once it shows.
run: build
	@if [ -n "$$DISPLAY" ]; then \
	  exec $(BIN)/head-readout; \
	else \
	  echo "No display: starting head-readout under Xvfb."; \
	  tools/run-headless.sh $(BIN)/head-readout $(BUILD)/head-readout.png; \
	fi

# Python's csv module reads the recorder's tables back in its tests.
# Debian's mosquitto starts a broker of its own when installed; the tests start theirs on
# free loopback ports, so one installed for them is stopped and disabled at once.
test-deps:
	$(call install_missing,$(TEST_PACKAGES))
	@if ! dpkg-query -W -f='$${Status}\n' mosquitto 2>/dev/null | grep -q 'install ok installed'; then \
	  echo "Installing Debian packages: mosquitto (its own service stopped and disabled)"; \
	  $(SUDO) apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq --no-install-recommends mosquitto && \
	  if [ -d /run/systemd/system ]; then $(SUDO) systemctl disable --now mosquitto; fi; \
	fi

test: build test-deps
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -LE soak

# The whole suite under AddressSanitizer and UndefinedBehaviorSanitizer (leaks checked
# at every exit, the real program's included), the cross-thread suites under
# ThreadSanitizer, and the million-frame soak.
SANITIZERS := $(CURDIR)/tests/sanitizers
CROSS_THREAD := tst_startup|tst_workerserialport|tst_widget|tst_noteendtoend|tst_recorder|tst_publisher
# Debian's Qt is not built for ThreadSanitizer: it hands queued calls and their copied
# arguments from thread to thread under futex locks the sanitizer cannot see, then copies
# and frees them in its own code. So the memory functions Qt itself calls are not
# checked; every access of this project's code still is, on both sides of a race, and no
# report is suppressed.
TSAN_FLAGS := ignore_noninstrumented_modules=1 halt_on_error=1
check: build test-deps
	$(CONFIGURE) -B $(BUILD)-asan -DCMAKE_BUILD_TYPE=Debug \
	  -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
	cmake --build $(BUILD)-asan -j$(JOBS)
	cd $(BUILD)-asan && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 \
	  LSAN_OPTIONS=suppressions=$(SANITIZERS)/lsan.supp UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -LE soak
	$(CONFIGURE) -B $(BUILD)-tsan -DCMAKE_BUILD_TYPE=Debug \
	  -DCMAKE_CXX_FLAGS="-fsanitize=thread -fno-omit-frame-pointer"
	cmake --build $(BUILD)-tsan -j$(JOBS)
	cd $(BUILD)-tsan && QT_QPA_PLATFORM=offscreen TSAN_OPTIONS="$(TSAN_FLAGS)" \
	  ctest --output-on-failure -R '$(CROSS_THREAD)'
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -L soak

demo: build
	@if [ -n "$$DISPLAY" ]; then \
	  exec $(BIN)/head-readout-demo; \
	else \
	  echo "No display: starting the demo under Xvfb."; \
	  $(XVFB) $(BIN)/head-readout-demo --screenshot $(BUILD)/head-readout-demo.png; \
	fi

demo-chart: build
	tools/chart-demo.sh $(BIN) $(BUILD)/head-readout-chart-demo.png

# A target's dictionary, where it has one, holds whole inputs it would take long to guess.
fuzz: deps
	$(call install_missing,$(FUZZ_PACKAGES))
	$(CONFIGURE) -B $(BUILD)-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_CXX_COMPILER=clang++ -DHEADREADOUT_FUZZ=ON
	cmake --build $(BUILD)-fuzz -j$(JOBS) --target fuzz-framedecoder fuzz-csvrecord \
	  fuzz-tablereader
	for target in framedecoder csvrecord tablereader; do \
	  mkdir -p $(BUILD)-fuzz/corpus-$$target && \
	  dict=$$([ -f fuzz/fuzz_$$target.dict ] && echo -dict=fuzz/fuzz_$$target.dict); \
	  $(BUILD)-fuzz/bin/fuzz-$$target -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	    $$dict $(BUILD)-fuzz/corpus-$$target || exit 1; \
	done

bench: build test-deps
	bench/bench-table.sh $(BUILD)

lint: build
	$(call install_missing,clang-format clang-tidy)
	clang-format --dry-run -Werror $$(git ls-files '*.cpp' '*.h')
	git ls-files '*.cpp' | grep -v '^fuzz/' | xargs clang-tidy -p $(BUILD) --quiet

# The prefix is configured, not only given to the install step: the desktop entry and
# the manual page name the launcher by its installed path.
PREFIX ?= /usr/local
install: deps
	$(CONFIGURE) -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=$(PREFIX)
	cmake --build $(BUILD) -j$(JOBS)
	cmake --install $(BUILD)

# The .deb holds only what ships, built in its own folder with Debian's hardening flags
# and stripped; build type None, as Debian's own helpers use, so CMake adds no -O3 after
# dpkg-buildflags' -O2. It must pass lintian without errors or warnings and the desktop entry
# and AppStream validators, and its unpacked program the whole-process tests.
VERSION := $(shell sed -n 's/^project.head-readout VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
ARCH := $(shell dpkg --print-architecture)
DEB = $(BUILD)/head-readout_$(VERSION)_$(ARCH).deb
CHART_DEB = $(BUILD)/head-readout-chart_$(VERSION)_$(ARCH).deb
PACKAGE_ROOT = $(BUILD)-package/package-root
CHART_ROOT = $(BUILD)-package/chart-root
package: build test-deps
	$(call install_missing,lintian appstream desktop-file-utils dpkg-dev python3)
	export DEB_BUILD_MAINT_OPTIONS=hardening=+all && \
	$(CONFIGURE) -B $(BUILD)-package -DCMAKE_BUILD_TYPE=None -DCMAKE_INSTALL_PREFIX=/usr \
	  -DBUILD_TESTING=OFF -DHEADREADOUT_TOOLS=OFF \
	  -DCMAKE_CXX_FLAGS="$$(dpkg-buildflags --get CPPFLAGS) $$(dpkg-buildflags --get CXXFLAGS)" \
	  -DCMAKE_EXE_LINKER_FLAGS="$$(dpkg-buildflags --get LDFLAGS)"
	cmake --build $(BUILD)-package -j$(JOBS)
	rm -f $(BUILD)-package/*.deb
	cd $(BUILD)-package && cpack -G DEB
	cp $(BUILD)-package/$(notdir $(DEB)) $(DEB)
	cp $(BUILD)-package/$(notdir $(CHART_DEB)) $(CHART_DEB)
	dpkg-deb -f $(DEB) Depends
	dpkg-deb -f $(CHART_DEB) Depends
	! dpkg-deb -f $(DEB) Depends | grep -q -i -e charts -e head-readout-chart
	lintian --fail-on error,warning --display-info $(DEB) $(CHART_DEB)
	rm -rf $(PACKAGE_ROOT) $(CHART_ROOT)
	dpkg -x $(DEB) $(PACKAGE_ROOT)
	dpkg -x $(CHART_DEB) $(CHART_ROOT)
	appstreamcli validate --no-net $(PACKAGE_ROOT)/usr/share/metainfo/*.metainfo.xml \
	  $(CHART_ROOT)/usr/share/metainfo/*.metainfo.xml
	desktop-file-validate $(PACKAGE_ROOT)/usr/share/applications/head-readout.desktop \
	  $(CHART_ROOT)/usr/share/applications/head-readout-chart.desktop
	HEAD_READOUT_BINARY=$(PACKAGE_ROOT)/usr/bin/head-readout HEAD_READOUT_ROOT=$(PACKAGE_ROOT) \
	  $(BIN)/tst_process
	HEAD_READOUT_LOG=$(PACKAGE_ROOT)/usr/bin/head-readout-log $(BIN)/tst_recorder
	HEAD_READOUT_CHART=$(CHART_ROOT)/usr/bin/head-readout-chart QT_QPA_PLATFORM=offscreen \
	  $(BIN)/tst_chart

clean:
	rm -rf $(foreach b,$(sort $(BUILD) build build-qt6),$(b) $(b)-asan $(b)-tsan $(b)-fuzz $(b)-package)
