#!/usr/bin/env bash
# The release archive as a host developer gets it: packs the build tree with cpack,
# checks the SHA-256 sums file, unpacks the archive into an empty folder, checks that
# it holds exactly the install tree, builds the consumer project against it with
# find_package and, given an emulator, runs it.
#
#   run_consumer.sh BUILD_DIR TOOLCHAIN_FILE WORK_DIR [EMULATOR...]
set -euo pipefail
build_dir=$1 toolchain=$2 work=$3
shift 3
emulator=("$@") # the emulator command, if any
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
fail() { echo "FAIL: $*" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work/unpacked"
cmake --install "$build_dir" --prefix "$work/installed" >/dev/null
cpack --config "$build_dir/CPackConfig.cmake" -B "$work/package" >/dev/null

archives=("$work"/package/*.zip)
[ ${#archives[@]} -eq 1 ] && [ -f "${archives[0]}" ] || fail "expected one archive in $work/package"
archive=$(basename "${archives[0]}")
(cd "$work/package" && sha256sum --check --quiet "$archive.sha256") || fail "$archive.sha256 does not match"

(cd "$work/unpacked" && cmake -E tar xf "../package/$archive")
sdk=$work/unpacked/${archive%.zip}
[ -d "$sdk" ] || fail "$archive does not unpack into ${archive%.zip}/"
diff -r "$work/installed" "$sdk" >&2 || fail "$archive differs from the install tree"

for f in include/svcsheet.h bin/svcsheet.dll bin/svcsheet.pdb lib/libsvcsheet.dll.a \
         lib/svcsheet.lib lib/svcsheet.def lib/cmake/svcsheet/svcsheetConfig.cmake README.md; do
  [ -f "$sdk/$f" ] || fail "$archive lacks $f"
done
echo "$archive: checksum right, holds the install tree"

cmake -S "$here/consumer" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_PREFIX_PATH="$sdk" >/dev/null
cmake --build "$work/build"

if [ ${#emulator[@]} -gt 0 ]; then
  cp "$sdk/bin/svcsheet.dll" "$work/build/"
  out=$("${emulator[@]}" "$work/build/consumer.exe" | tr -d '\r')
  echo "$out"
  grep -q "consumer: svcsheet answered" <<<"$out" || fail "the consumer did not run"
else
  echo "consumer built (no emulator for this target here)"
fi
