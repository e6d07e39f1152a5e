# The two commands of this project. Both install what is missing first (Debian packages): make run
# only what building and running the Linux program needs, the others everything.
#   make run    builds the Linux program and shows the slide show on the sample photographs
#   make test   builds all three programs and runs every test
#   make bench  measures the slide show's speed and size (a release build); see docs/performance.md
#   make package  makes the Debian package, the Windows zip and setup program in build/packages/
#   make check-reproducible  builds the packages twice, in two folders, and compares them
.PHONY: all deps run-deps run test bench package check-reproducible clean

all: test

deps:
	@tools/install-deps.sh all

run-deps:
	@tools/install-deps.sh run

run: run-deps
	@tools/run.sh

test: deps
	@tools/test.sh

bench: deps
	@tools/bench.sh

package: deps
	@tools/package.sh

check-reproducible: deps
	@tools/check-reproducible.sh

clean:
	rm -rf build
