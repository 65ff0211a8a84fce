#!/usr/bin/env bash
# Links the consumer for the MSVC ABI against the installed lib/svcsheet.lib, as a
# host built with Microsoft's toolchain would: Debian's clang for *-pc-windows-msvc
# and lld-link. There is no MSVC runtime or Windows SDK here, so the consumer links
# with /nodefaultlib and its own entry point, and takes its few system functions
# from an import library made from kernel32.def. It compiles against MinGW-w64's
# headers, which need GNU mode (-fgnuc-version) and, on i686, _X86_ to work there.
#
# On i686 it checks that the compiler referenced the decorated stdcall symbol
# (__imp__LookupHelpMap@8) and that the executable imports the plain name
# (LookupHelpMap) from svcsheet.dll; given an emulator, it runs the program.
#
#   run_msvc_consumer.sh BUILD_DIR POINTER_SIZE OBJDUMP WORK_DIR [EMULATOR...]   (size 4 or 8)
set -euo pipefail
build_dir=$1 pointer_size=$2 objdump=$3 work=$4
shift 4
emulator=("$@") # the emulator command, if any
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
fail() { echo "FAIL: $*" >&2; exit 1; }

need() {
  for name in "${@:2}"; do
    if command -v "$name" >/dev/null; then
      command -v "$name"
      return
    fi
  done
  echo "run_msvc_consumer.sh: $2 not found: install the Debian package '$1'" \
       "(scripts/bootstrap does this)" >&2
  exit 2
}
clang=$(need clang clang clang-14)
lld_link=$(need lld lld-link lld-link-14)
dlltool=$(need llvm-14 llvm-dlltool llvm-dlltool-14)
nm=$(need llvm-14 llvm-nm llvm-nm-14)

if [ "$pointer_size" = 4 ]; then
  target=i686-pc-windows-msvc machine=x86 dll_machine=i386 defines=(-D_X86_)
else
  target=x86_64-pc-windows-msvc machine=x64 dll_machine=i386:x86-64 defines=()
fi

rm -rf "$work"
mkdir -p "$work"
sdk=$work/sdk
cmake --install "$build_dir" --prefix "$sdk" >/dev/null

if [ "$pointer_size" = 4 ]; then
  cp "$here/kernel32.def" "$work/kernel32.def"
else
  sed 's/@[0-9]*$//' "$here/kernel32.def" >"$work/kernel32.def"
fi
"$dlltool" -m "$dll_machine" -k -d "$work/kernel32.def" -l "$work/kernel32.lib"

"$clang" --target="$target" -fgnuc-version=4.2.1 "${defines[@]}" -O1 -Wall -Wextra -Werror \
  -isystem /usr/share/mingw-w64/include -I "$sdk/include" \
  -c "$here/consumer/main.c" -o "$work/consumer.obj"
"$lld_link" /nologo /nodefaultlib /entry:consumer_start /subsystem:console /machine:"$machine" \
  "$work/consumer.obj" "$sdk/lib/svcsheet.lib" "$work/kernel32.lib" /out:"$work/consumer.exe"
echo "consumer.exe linked for $target against lib/svcsheet.lib"

# The names the executable imports from svcsheet.dll: exactly the plain ones it calls.
imported=$("$objdump" -p "$work/consumer.exe" | awk '
  /DLL Name:/ { dll = tolower($3); next }
  dll == "svcsheet.dll" && /^\t[0-9a-f]+\t/ { print $3 }' | sort | tr '\n' ' ')
[ "$imported" = "DeInitServiceControl InitServiceControl LookupHelpMap " ] ||
  fail "consumer.exe imports '$imported' from svcsheet.dll"
if [ "$pointer_size" = 4 ]; then
  symbols=$("$nm" "$work/consumer.obj")
  grep -q ' U __imp__LookupHelpMap@8$' <<<"$symbols" ||
    fail "the compiler did not reference __imp__LookupHelpMap@8"
  echo "decorated __imp__LookupHelpMap@8 in the object, plain LookupHelpMap imported"
fi

if [ ${#emulator[@]} -gt 0 ]; then
  cp "$sdk/bin/svcsheet.dll" "$work/"
  out=$("${emulator[@]}" "$work/consumer.exe" | tr -d '\r')
  echo "$out"
  grep -q "consumer: svcsheet answered" <<<"$out" || fail "the MSVC-ABI consumer did not run"
else
  echo "not run (no emulator for this target here)"
fi
