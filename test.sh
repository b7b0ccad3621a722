#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test:
#   build/       the normal build: unit tests, tests of the real window under Xvfb
#   build-asan/  the unit tests again under AddressSanitizer and UBSan
#   build-fuzz/  the libFuzzer targets (clang), replaying their seed corpora
set -euo pipefail
cd "$(dirname "$0")"
./tools/install-deps.sh
jobs=$(nproc 2>/dev/null || echo 2)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORNA_WERROR=ON >/dev/null
cmake --build build -j"$jobs"

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DVORNA_SANITIZE=ON -DVORNA_GUI=OFF -DVORNA_BENCH=OFF >/dev/null
cmake --build build-asan -j"$jobs"
(cd build-asan && ctest -L unit --output-on-failure -j"$jobs")

CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORNA_FUZZ=ON -DVORNA_GUI=OFF -DVORNA_BENCH=OFF >/dev/null
cmake --build build-fuzz -j"$jobs" --target fuzz_targets
(cd build-fuzz && ctest -L fuzz --output-on-failure)

# Last, so its closing line is the summary of the whole normal suite.
(cd build && ctest --output-on-failure -j"$jobs")
