#!/usr/bin/env bash
# Installs the SDK from a build tree, builds the consumer project against it with
# the same toolchain and, where the target runs here (x86_64), runs it under Wine.
#
#   run_consumer.sh BUILD_DIR TOOLCHAIN_FILE WORK_DIR [WINE_RUN]
set -euo pipefail
build_dir=$1 toolchain=$2 work=$3 wine_run=${4:-}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

rm -rf "$work"
sdk=$work/sdk
cmake --install "$build_dir" --prefix "$sdk" >/dev/null

for f in include/svcsheet.h bin/svcsheet.dll lib/libsvcsheet.dll.a lib/svcsheet.lib \
         lib/cmake/svcsheet/svcsheetConfig.cmake lib/cmake/svcsheet/svcsheetTargets.cmake; do
  [ -f "$sdk/$f" ] || { echo "FAIL: the SDK lacks $f" >&2; exit 1; }
done

cmake -S "$here/consumer" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_PREFIX_PATH="$sdk" >/dev/null
cmake --build "$work/build"

if [ -n "$wine_run" ]; then
  cp "$sdk/bin/svcsheet.dll" "$work/build/"
  out=$("$wine_run" "$work/build/consumer.exe" | tr -d '\r')
  echo "$out"
  grep -q "consumer: svcsheet answered" <<<"$out" || { echo "FAIL: consumer did not run" >&2; exit 1; }
else
  echo "consumer built (this machine cannot run the target)"
fi
