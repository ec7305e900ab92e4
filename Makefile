# The two commands a newcomer needs: `make run` and `make test` (see README.md).
BUILD      ?= build
TEST_BUILD ?= build-test
DIST       ?= $(CURDIR)/dist
JOBS       ?= $(shell nproc)

.PHONY: run test deps build install clean fuzz package

deps:
	@scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARVA_TESTS=OFF
	cmake --build $(BUILD) -j$(JOBS)

install: build
	cmake --install $(BUILD) --prefix $(DIST)
	scripts/register.sh $(DIST)

run: install
	scripts/run-suite.sh $(DIST)

# The Debian package from the release build: the installed folder in /opt/quarva with
# the desktop integration (see desktop/). Written to $(BUILD)/quarva-zip-suite_*.deb.
package: build
	cd $(BUILD) && cpack -G DEB

# A failed test runs once more: the GUI tests drive real windows with keys and clicks,
# which a loaded machine may now and then take too late.
test: deps
	cmake -S . -B $(TEST_BUILD) -DCMAKE_BUILD_TYPE=Debug -DQUARVA_SANITIZE=ON -DQUARVA_WERROR=ON
	cmake --build $(TEST_BUILD) -j$(JOBS)
	cmake --install $(TEST_BUILD) --prefix $(CURDIR)/$(TEST_BUILD)/dist > /dev/null
	xvfb-run -a -s "-screen 0 1280x800x24" ctest --test-dir $(TEST_BUILD) --output-on-failure -j$(JOBS) --timeout 900 \
		--repeat until-pass:2

# Builds every fuzzer with clang (in build-fuzz) and runs each for FUZZ_SECONDS (default 60).
fuzz: deps
	scripts/fuzz.sh

clean:
	rm -rf $(BUILD) $(TEST_BUILD) $(DIST) build-fuzz
