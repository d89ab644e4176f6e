# The two commands of the Quick start. Everything else lives in CMake presets.
.PHONY: demo test setup host asan baremetal

setup:
	@scripts/setup.sh

host: setup
	@cmake --preset host >/dev/null
	@cmake --build --preset host

asan: setup
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan

# The self-test image for QEMU, which the host build's qemu tests boot.
baremetal: setup
	@cmake --preset baremetal >/dev/null
	@cmake --build --preset baremetal

# The main job on the embedded default board.
demo: host
	@build/host/tools/pciwalk

# Every test: the sanitizer build first, the plain build last so that the run
# ends on CTest's summary line. The bare-metal image is built before either
# runs, since both boot it in QEMU.
test: asan host baremetal
	ctest --preset asan
	ctest --preset host
