#!/usr/bin/env bash
# The main job: builds the Linux program and installs the first example
# project (examples/app) on the emulated Windows (a fresh root under
# build/main-job/root), then the small demo project beside it, and checks that
# the program downloads a web folder's files from a server on 127.0.0.1.
# SETUP_SKIP_DEPS=1 skips installing the build dependencies.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${SETUP_SKIP_DEPS:-0}" != 1 ]; then
  bash scripts/install-deps.sh main
fi
cmake --preset native >/dev/null
cmake --build --preset native -j"$(nproc)" --target setup

out=build/main-job
rm -rf "$out" && mkdir -p "$out"
export SETUP_ROOT="$PWD/$out/root"

echo "== setup --help"
build/native/setup --help

echo "== setup --unattended examples/app/install.ins (the first example: Qorv Notiz)"
# A copy with fixed file dates (a checkout has the dates of the checkout).
bash examples/app/stage.sh "$out/app"
set +e
build/native/setup "$out/app/install.ins" --unattended --log="$out/app.log"
status=$?
set -e
echo "exit status: $status"
echo "== log ($out/app.log)"
cat "$out/app.log"
echo "Qorv Notiz is installed in $SETUP_ROOT/drive_c/Program Files/Qorv/Notiz:"
echo "its files with their dates and Deinst.ins; the shortcuts are in"
echo "$SETUP_ROOT/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Qorv (lnkinfo reads them);"
echo "registry lines, the .ntz association and the uninstall entry are in $SETUP_ROOT/registry.reg."
echo "The emulated Windows is in $SETUP_ROOT (drive C: is $SETUP_ROOT/drive_c)."
[ "$status" = 0 ] || { echo "the installation of examples/app failed"; exit 1; }

echo "== setup --unattended examples/demo/install.ins (a second, smaller project)"
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

echo "== downloads: examples/web-subproject with its web folder served on 127.0.0.1"
bash tests/e2e/downloads_e2e.sh build/native
