# The two commands of kelvo's README:
#   make run    install what is missing, build, and start kelvo
#   make test   install what is missing, build, and run every test
BUILD ?= build
SANITIZE_BUILD ?= build-sanitize
INSTALL_BUILD ?= build-release
PACKAGE_BUILD ?= build-package
PREFIX ?= /usr/local
JOBS ?= $(shell nproc)

.PHONY: run test test-sanitize bench fuzz deps build build-sanitize install uninstall package clean

run: build
	@scripts/run $(BUILD)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# The same suite built with AddressSanitizer and UndefinedBehaviorSanitizer (CI runs it too).
test-sanitize: deps
	cmake -S . -B $(SANITIZE_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKELVO_SANITIZE=ON
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	ctest --test-dir $(SANITIZE_BUILD) --output-on-failure -j $(JOBS)

bench: deps
	cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DKELVO_BENCH=ON -DKELVO_TESTS=OFF
	cmake --build build-bench -j $(JOBS)

# libFuzzer runs of the fuzz targets under tests/fuzz, built with clang: FUZZ_SECONDS (default
# 60) per target, or FUZZ_TARGET alone. `make test` already runs a short fuzz of each.
fuzz: deps
	scripts/fuzz $(FUZZ_TARGET)

# A Release build of kelvo and kelvo-cli installed under PREFIX (sudo when not root); every
# installed file is listed in $(INSTALL_BUILD)/install_manifest.txt, which `make uninstall` reads.
SUDO := $(shell [ "$$(id -u)" -eq 0 ] || echo sudo)

install: deps
	cmake -S . -B $(INSTALL_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DKELVO_TESTS=OFF -DKELVO_BENCH=OFF
	cmake --build $(INSTALL_BUILD) -j $(JOBS)
	$(SUDO) cmake --install $(INSTALL_BUILD) --prefix $(PREFIX)

# A Debian package of a Release build labelled with the project version, made by CPack from the
# install rules (packaging/package.cmake): $(PACKAGE_BUILD)/kelvo_<version>_<arch>.deb.
package: deps
	cmake -S . -B $(PACKAGE_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DKELVO_TESTS=OFF -DKELVO_BENCH=OFF -DKELVO_DEV_BUILD=OFF
	cmake --build $(PACKAGE_BUILD) -j $(JOBS)
	cd $(PACKAGE_BUILD) && cpack -G DEB
	@ls $(PACKAGE_BUILD)/kelvo_*.deb

uninstall:
	@test -f $(INSTALL_BUILD)/install_manifest.txt || { echo "nothing installed from $(INSTALL_BUILD)"; exit 1; }
	$(SUDO) xargs -d '\n' rm -f -- < $(INSTALL_BUILD)/install_manifest.txt
	-$(SUDO) rmdir $(PREFIX)/libexec/kelvo

deps:
	@scripts/install-deps

build: deps
	cmake -S . -B $(BUILD) -G Ninja
	cmake --build $(BUILD) -j $(JOBS)

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(INSTALL_BUILD) $(PACKAGE_BUILD) build-bench
