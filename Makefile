# make run   - install what is missing, build and start Varnelo
# make test  - install what is missing, build with sanitizers and run every test
# make bench - build the benchmark program (see bench/README.md)
# make clean - remove the builds; make run's program and its database stay

PACKAGES := cmake ninja-build g++ pkg-config qt6-base-dev qt6-svg-dev qt6-multimedia-dev \
            libsndfile1-dev libxcb1-dev libgtest-dev libgmock-dev desktop-file-utils locales \
            libqt6svg6 qt6-translations-l10n dbus xdg-utils
# Fonts with the metrics the window designs were drawn for; a virtual screen
# and a window manager for the tests of real windows.
PACKAGES += fonts-liberation2 xvfb xauth openbox xdotool x11-utils
# The tools that keep the code's style and catch common faults.
PACKAGES += clang-tidy clang-format
# A USB-stick file system for the tests of a database folder on such a disk.
PACKAGES += exfatprogs exfat-fuse
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
JOBS := $(shell nproc)

.PHONY: run test bench deps build clean

deps:
	@missing=$$(for p in $(PACKAGES); do dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing:" $$missing; \
	  $(SUDO) apt-get update -qq && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq $$missing; \
	fi
	@locale -a 2>/dev/null | grep -qi '^fr_FR.utf8$$' || { \
	  $(SUDO) sed -i 's/^# *fr_FR.UTF-8 UTF-8/fr_FR.UTF-8 UTF-8/' /etc/locale.gen && $(SUDO) locale-gen >/dev/null; }

build: deps
	cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNELO_TESTS=OFF
	cmake --build build --target Varnelo -j $(JOBS)

run: build
	./build/app/Varnelo

# The program's own sources (the tests aside), and as a pattern of paths.
SOURCE_DIRS := app bench database mainwindow pages platform search support
empty :=
space := $(empty) $(empty)
SOURCE_PATTERN := ^$(CURDIR)/($(subst $(space),|,$(SOURCE_DIRS)))/

test: deps
	cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVARNELO_SANITIZE=ON -DVARNELO_TESTS=ON \
	  -DCMAKE_EXPORT_COMPILE_COMMANDS=ON
	cmake --build build-test -j $(JOBS)
	@echo "clang-format: every source as the style says"
	@find $(SOURCE_DIRS) tests -name '*.cpp' -o -name '*.h' | \
	  xargs clang-format --dry-run --Werror
	@echo "clang-tidy on the program's sources"
	@run-clang-tidy -p build-test -quiet -j $(JOBS) '$(SOURCE_PATTERN)' \
	  >build-test/clang-tidy.log 2>&1 || { grep -E -A4 'warning:|error:' build-test/clang-tidy.log; exit 1; }
	cd build-test && ctest --output-on-failure -j $(JOBS)

bench: deps
	cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVARNELO_TESTS=OFF
	cmake --build build-bench --target varnelo-bench -j $(JOBS)

# The program keeps its database (BDVRN/) beside its executable, and the
# autostart entry names that executable: make run's build/app/BDVRN and
# build/app/Varnelo are the user's, and stay. CMake builds again around them.
clean:
	rm -rf build-test build-bench
	@if [ -d build ]; then \
	  find build -mindepth 1 -maxdepth 1 ! -name app -exec rm -rf {} +; \
	  if [ -d build/app ]; then find build/app -mindepth 1 -maxdepth 1 ! -name BDVRN ! -name Varnelo -exec rm -rf {} +; fi; \
	  for kept in build/app/BDVRN build/app/Varnelo; do if [ -e $$kept ]; then echo "make clean: $$kept kept"; fi; done; \
	fi
