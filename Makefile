# The two commands of the Quick start. Everything else lives in CMake presets.
.PHONY: demo test setup host asan

setup:
	@scripts/setup.sh

host: setup
	@cmake --preset host >/dev/null
	@cmake --build --preset host

asan: setup
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan

# The main job on the embedded default board.
demo: host
	@build/host/tools/pciwalk

# Every test: the sanitizer build first, the plain build last so that the run
# ends on CTest's summary line.
test: asan host
	ctest --preset asan
	ctest --preset host
