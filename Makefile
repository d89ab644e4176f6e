# The two commands of the Quick start. Everything else lives in CMake presets.
.PHONY: demo test dist setup host asan tsan nt nt64 baremetal loader32

setup:
	@scripts/setup.sh

# One build tree per preset: nt (dimmio.sys and dimmio.exe, the tool,
# cross-compiled), nt64 (the tool as a 64-bit dimmio.exe and a test-only
# x86-64 driver image, which the host tree runs under 64-bit Wine), baremetal (the self-test image the host
# tree boots in QEMU), asan and tsan (clang with sanitizers), loader32 (the 32-bit loader
# that runs the driver image over the simulated machine), host (g++).
PRESETS := nt nt64 baremetal asan tsan loader32 host

$(PRESETS): setup
	@cmake --preset $@ >/dev/null
	@cmake --build --preset $@

# The main job on the embedded default board: the dimmio tool's report, with
# the driver loaded on the simulated default board. Builds only the tool.
demo: setup
	@cmake --preset host >/dev/null
	@echo "make demo: building the dimmio tool (log in build/host/demo-build.log)"
	@cmake --build --preset host --target dimmio >build/host/demo-build.log 2>&1 || \
	  { cat build/host/demo-build.log; exit 1; }
	@echo "make demo: build/host/tools/dimmio/dimmio report"
	@echo
	@build/host/tools/dimmio/dimmio report

# Every test, each run once: the driver image, the 64-bit dimmio.exe and the
# bare-metal image first (the sanitizer tree checks the first, runs the
# second under Wine and boots the third in QEMU), then the trees that run
# tests: dimmio.sys in the loader, the thread sanitizer's tests (labelled
# tsan), and last the whole suite under the address and undefined-behaviour
# sanitizers, so that the run ends on CTest's summary line.
test: nt nt64 baremetal loader32 tsan asan
	ctest --preset loader32
	ctest --preset tsan
	ctest --preset asan

# The release a user downloads, build/dist/dimmio-VERSION-x86.zip: the nt
# tree's images (built here first), pci.ids, the user's README and the
# licences, with their SHA256SUMS. The same commit packs the same bytes.
dist: nt
	@scripts/dist.py build/nt build/dist
