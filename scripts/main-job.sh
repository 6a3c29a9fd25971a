#!/usr/bin/env bash
# The main job: builds the Linux program and runs the bundled example script
# on the emulated Windows (a fresh root under build/main-job/root).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh main
cmake --preset native >/dev/null
cmake --build --preset native -j"$(nproc)" --target setup

out=build/main-job
rm -rf "$out" && mkdir -p "$out"
export SETUP_ROOT="$PWD/$out/root"

echo "== setup --help"
build/native/setup --help

echo "== setup --unattended examples/hello/install.ins"
set +e
build/native/setup examples/hello/install.ins --unattended --log="$out/setup.log" \
  --dir='C:\Program Files\Hello'
status=$?
set -e
echo "exit status: $status"
echo "== log ($out/setup.log)"
cat "$out/setup.log"
echo "The emulated Windows is in $SETUP_ROOT (drive C: is $SETUP_ROOT/drive_c, the registry $SETUP_ROOT/registry.reg)."
