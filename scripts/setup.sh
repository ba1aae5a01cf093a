#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian machine. Idempotent:
# packages already present are left alone, so a second run costs a second.
set -euo pipefail

packages=(
  cmake ninja-build make g++ pkg-config git
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64
  wine64 wine
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  valgrind zip unzip python3
  time  # scripts/bench.sh: CPU time and peak memory of the tool's runs
  osslsigncode openssl  # the release's signing
  diffoscope-minimal libarchive-tools  # where two builds of the release differ
  gcovr  # scripts/coverage.sh: line and branch coverage of the tool
  clang-format clang-tidy  # the lint tests (tests/lint)
  clang libclang-rt-dev llvm  # the fuzz build: clang, libFuzzer; llvm-symbolizer for reports
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
