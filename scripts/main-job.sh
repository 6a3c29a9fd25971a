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

echo "== setup --unattended examples/demo/install.ins (the example project)"
set +e
build/native/setup examples/demo/install.ins --unattended --log="$out/demo.log" \
  --dir='C:\Program Files\Qorv-Demo'
status=$?
set -e
echo "exit status: $status"
echo "== log ($out/demo.log)"
cat "$out/demo.log"
echo "The example project is installed in $SETUP_ROOT/drive_c/Program Files/Qorv-Demo"
echo "(its files with their dates, and Deinst.ins with [Pathes]); the install record is"
echo "HKEY_LOCAL_MACHINE\\Software\\Qorv\\Installs in $SETUP_ROOT/registry.reg."
