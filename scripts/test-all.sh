#!/usr/bin/env bash
# Builds all presets and runs every test: native unit tests (ASan+UBSan), the
# end-to-end tests of the Linux program, the win64 unit and end-to-end tests
# under wine64, and a check of the shipped win32 executable.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc)
# The tests expect the built-in German texts, also where the machine's (or
# Wine's) language would pick the English language file.
export SETUP_LANG=${SETUP_LANG:-DEU}

if [ "${SETUP_SKIP_DEPS:-0}" != 1 ]; then
  bash scripts/install-deps.sh all || { echo "installing the build dependencies failed"; exit 1; }
fi

passed=0
failed=0
failures=()
step() { # step NAME COMMAND...: runs one step, counts it
  local name=$1; shift
  echo
  echo "=== $name"
  local t0=$SECONDS
  if "$@"; then
    passed=$((passed + 1)); echo "=== $name: ok ($((SECONDS - t0)) s)"
  else
    failed=$((failed + 1)); failures+=("$name"); echo "=== $name: FAILED ($((SECONDS - t0)) s)"
  fi
}
build() { # build PRESET
  cmake --preset "$1" >/dev/null && cmake --build --preset "$1" -j"$jobs"
}
run_ctest() { ctest --test-dir "$1" --output-on-failure; }
check_pe() { # check_pe FILE EXPECTED-TEXT
  local what; what=$(file -b "$1") || return 1
  echo "$1: $what"
  case "$what" in *"$2"*) return 0 ;; *) echo "expected: $2"; return 1 ;; esac
}

step "build native-asan" build native-asan
step "unit tests (native, ASan+UBSan)" run_ctest build/native-asan
step "build native" build native
step "shared end-to-end helpers" tests/e2e/lib_test.sh
step "end-to-end tests (native)" tests/e2e/run.sh build/native
step "end-to-end installation (native)" tests/e2e/engine_e2e.sh build/native
step "downloads end to end (native)" tests/e2e/downloads_e2e.sh build/native
step "record of killed installations (native)" tests/e2e/record_kill_e2e.sh build/native
step "script checks end to end (native)" bash -c 'tests/e2e/check_e2e.sh --self-test && tests/e2e/check_e2e.sh build/native'
step "plans end to end (native)" bash -c 'tests/e2e/plan_e2e.sh --self-test && tests/e2e/plan_e2e.sh build/native'
step "uninstall round trips (native)" tests/e2e/uninstall_e2e.sh build/native
step "build win64" build win64
step "check win64 executable" check_pe build/win64/Setup.exe "PE32+ executable (GUI) x86-64"
step "unit and end-to-end tests (win64 under wine64)" bash scripts/wine-tests.sh build/win64
step "example projects and failure paths end to end (native and wine64)" bash -c 'tests/e2e/key_coverage.sh && tests/e2e/examples_e2e.sh build/native build/win64 && tests/e2e/failure_e2e.sh build/native build/win64'
step "build win32" build win32
step "check win32 executable" check_pe build/win32/Setup.exe "PE32 executable (GUI) Intel 80386"

echo
if [ $failed -gt 0 ]; then
  echo "Failed steps: ${failures[*]}"
fi
echo "Summary: $passed passed, $failed failed"
[ $failed -eq 0 ]
