# Set-up, build and run on Debian 12: every target installs what is missing first.
BUILD ?= build
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 60
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
PACKAGES := qtbase5-dev libqt5serialport5-dev cmake g++ make fonts-liberation xvfb xauth
FUZZ_PACKAGES := clang-14 libclang-rt-14-dev
XVFB := xvfb-run -a -s "-screen 0 400x300x24"

.PHONY: all deps build run test check demo fuzz bench lint install package clean

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
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j$(JOBS)

# With no display the window comes up on a virtual X server, and a screenshot of it is
# saved a few seconds after start.
run: build
	@if [ -n "$$DISPLAY" ]; then \
	  exec $(BUILD)/head-readout; \
	else \
	  echo "No display: starting head-readout under Xvfb."; \
	  $(XVFB) sh -c '$(BUILD)/head-readout & pid=$$!; sleep 3; \
	    $(BUILD)/tools/screen-grab $(BUILD)/head-readout.png && \
	    echo "Screenshot of the window saved to $(BUILD)/head-readout.png"; \
	    wait $$pid'; \
	fi

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -LE soak

# The whole suite under AddressSanitizer and UndefinedBehaviorSanitizer (leaks checked
# at every exit, the real program's included), the cross-thread suites under
# ThreadSanitizer, and the million-frame soak.
SANITIZERS := $(CURDIR)/tests/sanitizers
CROSS_THREAD := tst_startup|tst_workerserialport|tst_widget|tst_noteendtoend
check: build
	cmake -S . -B $(BUILD)-asan -DCMAKE_BUILD_TYPE=Debug \
	  -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
	cmake --build $(BUILD)-asan -j$(JOBS)
	cd $(BUILD)-asan && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 \
	  LSAN_OPTIONS=suppressions=$(SANITIZERS)/lsan.supp UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -LE soak
	cmake -S . -B $(BUILD)-tsan -DCMAKE_BUILD_TYPE=Debug \
	  -DCMAKE_CXX_FLAGS="-fsanitize=thread -fno-omit-frame-pointer"
	cmake --build $(BUILD)-tsan -j$(JOBS)
	cd $(BUILD)-tsan && QT_QPA_PLATFORM=offscreen \
	  TSAN_OPTIONS="suppressions=$(SANITIZERS)/tsan.supp halt_on_error=1" \
	  ctest --output-on-failure -R '$(CROSS_THREAD)'
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -L soak

demo: build
	@if [ -n "$$DISPLAY" ]; then \
	  exec $(BUILD)/tools/head-readout-demo; \
	else \
	  echo "No display: starting the demo under Xvfb."; \
	  $(XVFB) $(BUILD)/tools/head-readout-demo --screenshot $(BUILD)/head-readout-demo.png; \
	fi

fuzz: deps
	$(call install_missing,$(FUZZ_PACKAGES))
	cmake -S . -B $(BUILD)-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_CXX_COMPILER=clang++-14 -DHEADREADOUT_FUZZ=ON
	cmake --build $(BUILD)-fuzz -j$(JOBS) --target fuzz-framedecoder
	mkdir -p $(BUILD)-fuzz/corpus
	$(BUILD)-fuzz/tools/fuzz-framedecoder -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	  $(BUILD)-fuzz/corpus

bench: build
	tools/bench-table.sh $(BUILD)

lint: build
	$(call install_missing,clang-format clang-tidy)
	clang-format --dry-run -Werror $$(git ls-files '*.cpp' '*.h')
	git ls-files '*.cpp' | grep -v '^tools/fuzz_' | xargs clang-tidy -p $(BUILD) --quiet

PREFIX ?= /usr/local
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# The .deb, then its binary unpacked into a scratch root and run through the
# whole-process tests.
package: build
	$(call install_missing,dpkg-dev)
	cd $(BUILD) && cpack -G DEB
	rm -rf $(BUILD)/package-root
	dpkg -x $(BUILD)/head-readout_*.deb $(BUILD)/package-root
	dpkg-deb -f $(BUILD)/head-readout_*.deb Depends
	HEAD_READOUT_BINARY=$(BUILD)/package-root/usr/bin/head-readout $(BUILD)/tests/tst_process

clean:
	rm -rf $(BUILD) $(BUILD)-fuzz
