# Quillmoor: `make` builds dist/, `make test` builds and runs every test, `make run` starts the
# program. Each installs what is missing first (as root on Debian 12).
BUILD ?= build
DIST ?= dist
CMAKE_DIR := $(BUILD)/cmake
JOBS ?= $(shell nproc)
# The program ships for 32-bit Windows; CPU=x86_64 builds the same sources for 64-bit Windows.
CPU ?= i686
# `all` builds the tests and benchmarks too; TARGET=qm_dist only what ships.
TARGET ?= all
MAKEFLAGS += --no-print-directory

.PHONY: all setup configure build dist test run bench clean art installer zip fuzz screenshots

all: dist

setup:
	@scripts/setup.sh $(BUILD) $(CPU)

configure: setup
	@cmake -S . -B $(CMAKE_DIR) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-$(CPU).cmake \
	  -DQM_DEPS_DIR=$(abspath $(BUILD))/deps \
	  -DCMAKE_CROSSCOMPILING_EMULATOR=$(CURDIR)/scripts/wine-run.sh >/dev/null

build: configure
	@cmake --build $(CMAKE_DIR) -j $(JOBS) --target $(TARGET)

# dist/ is made afresh each time, except for this version's installer and zip while they still
# match its content (installer/release-files.sh): `make zip` after `make installer` keeps both.
dist: build
	@installer/release-files.sh clear $(DIST) $(BUILD) $(VERSION)
	@cmake --install $(CMAKE_DIR) --prefix $(abspath $(DIST)) >/dev/null
	@installer/release-files.sh check $(DIST) $(BUILD) $(VERSION)
	@echo "dist: $(abspath $(DIST))"

# Where the kernel cannot run Wine's 32-bit half, the tests run on the x86-64 build
# (scripts/runnable-build.sh), so the 32-bit build then makes only what ships.
test: setup
	@if scripts/runs-32bit.sh; then $(MAKE) dist installer; \
	 else $(MAKE) dist installer TARGET=qm_dist; fi
	@scripts/run-tests.sh $(BUILD) $(DIST)

FUZZ_SECONDS ?= 60
fuzz: setup
	@scripts/fuzz.sh $(BUILD) $(FUZZ_SECONDS)

art:
	python3 scripts/make-art.py data art

run: dist
	@scripts/run.sh $(BUILD) $(DIST)

bench: dist
	@scripts/run-bench.sh $(BUILD) $(DIST)

screenshots: dist
	@scripts/screenshots.sh $(BUILD) $(DIST) docs

VERSION = $(shell sed -n 's/^App\.Ver=\([0-9.]*\).*/\1/p' data/const.dat)

# The installer installs, and its uninstaller removes, the files installer/filelist.sh lists.
installer: dist
	@installer/filelist.sh $(DIST) $(BUILD)/installer
	@makensis -V2 -DVERSION=$(VERSION) -DDIST=$(abspath $(DIST)) -DICON=$(CURDIR)/art/Quillmoor.ico \
	  -DFILELISTS=$(abspath $(BUILD))/installer \
	  -DOUTFILE=$(abspath $(DIST))/Quillmoor-Setup-$(VERSION).exe installer/Quillmoor.nsi
	@installer/release-files.sh record $(DIST) $(BUILD) $(VERSION) Quillmoor-Setup-$(VERSION).exe
	@echo "installer: $(abspath $(DIST))/Quillmoor-Setup-$(VERSION).exe"

# The zip holds what the installer installs: dist/ without the installer and zips.
zip: dist
	@rm -f $(DIST)/Quillmoor-$(VERSION).zip
	@cd $(DIST) && cmake -E tar cf Quillmoor-$(VERSION).zip --format=zip \
	  $$(ls -A | grep -v -e '^Quillmoor-Setup-.*\.exe$$' -e '\.zip$$')
	@installer/release-files.sh record $(DIST) $(BUILD) $(VERSION) Quillmoor-$(VERSION).zip
	@echo "zip: $(abspath $(DIST))/Quillmoor-$(VERSION).zip"

clean:
	rm -rf $(BUILD) $(DIST)
