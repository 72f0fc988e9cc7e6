# Orvalo Lite: top-level driver. CMake does the real work; this file installs what a fresh
# Debian 12 machine lacks and delegates.

BUILD   ?= build
JOBS    ?= $(shell nproc)

# Every package the build, the tests, the tools and the panel need.
PACKAGES := g++ cmake ninja-build ccache pkg-config \
	qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite qt6-svg-dev libqt6svg6 \
	qt6-httpserver-dev qt6-websockets-dev qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools \
	qt6-qpa-plugins libgl-dev libxkbcommon-dev \
	liblinphone-dev linphone-common picojson-dev \
	fonts-noto-core fonts-jetbrains-mono fonts-inter \
	kamailio sip-tester iproute2 util-linux openssl clang-format iputils-ping \
	xvfb xauth imagemagick x11-utils xdotool sqlite3 \
	dbus at-spi2-core python3 python3-pyatspi \
	dpkg-dev appstream desktop-file-utils libtcmalloc-minimal4

# Only for `make bench`: the reference softphone measured beside ours.
BENCH_PACKAGES := baresip-core

missing = $(strip $(foreach p,$(1),$(if $(shell dpkg-query -W -f='$${Status}' $(p) 2>/dev/null | grep -q 'ok installed' && echo y),,$(p))))

.PHONY: all deps build run test unit bench package demo clean format format-check loc

all: build

deps:
	@m="$(call missing,$(PACKAGES))"; \
	if [ -n "$$m" ]; then \
		echo "Installing: $$m"; \
		SUDO=$$( [ "$$(id -u)" = 0 ] || echo sudo ); \
		$$SUDO apt-get update && \
		DEBIAN_FRONTEND=noninteractive $$SUDO apt-get install -y --no-install-recommends $$m; \
	fi

$(BUILD)/CMakeCache.txt:
	cmake --preset dev

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j$(JOBS)

run: build
	$(BUILD)/bin/orvalo

test: build format-check
	ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)

unit: build
	ctest --test-dir $(BUILD) --output-on-failure -L unit

bench: build
	@m="$(call missing,$(BENCH_PACKAGES))"; \
	if [ -n "$$m" ]; then \
		SUDO=$$( [ "$$(id -u)" = 0 ] || echo sudo ); \
		$$SUDO apt-get update && \
		DEBIAN_FRONTEND=noninteractive $$SUDO apt-get install -y --no-install-recommends $$m; \
	fi
	tools/bench/run-bench.sh $(BUILD)

# The Debian package build/orvalo-lite_<version>_amd64.deb (install: sudo apt install ./build/orvalo-lite_*.deb).
package: build
	cd $(BUILD) && cpack -G DEB

# Calls ringing on loopback within a minute: registrar, cloud simulator, panel and two callers.
demo: build
	tools/demo/demo.sh $(BUILD)

format:
	git ls-files '*.h' '*.cpp' | xargs clang-format -i

format-check: deps
	git ls-files '*.h' '*.cpp' | xargs clang-format --dry-run -Werror

loc:
	@printf 'code:  '; git ls-files src tools | grep -E '\.(h|cpp)$$' | xargs cat | grep -cvE '^\s*(//.*)?$$'
	@printf 'tests: '; git ls-files tests | grep -E '\.(h|cpp)$$' | xargs cat | grep -cvE '^\s*(//.*)?$$'

clean:
	rm -rf $(BUILD)
