#!/usr/bin/env bash
# Static checks of a built svcsheet.dll, run on Linux with the cross objdump.
#
#   check_dll.sh CHECK OBJDUMP DLL DEF MACHINE
#
# CHECK is one of: machine, exports, imports, version. MACHINE is the objdump
# format name expected (pei-i386 or pei-x86-64).
set -euo pipefail
check=$1 objdump=$2 dll=$3 def=$4 machine=$5

fail() { echo "FAIL: $*" >&2; exit 1; }
[ -f "$dll" ] || fail "$dll does not exist"

headers=$("$objdump" -p "$dll")

case "$check" in
machine)
  format=$("$objdump" -f "$dll" | sed -n 's/.*file format \([^ ]*\).*/\1/p' | head -n 1)
  [ "$format" = "$machine" ] || fail "file format is '$format', expected '$machine'"
  echo "machine: $format"
  ;;
exports)
  # Names from the .def: the first word of every line after EXPORTS.
  expected=$(sed -n '/^EXPORTS/,$p' "$def" | sed '1d' | awk 'NF && $1 !~ /^;/ {print $1}' | sort)
  actual=$(printf '%s\n' "$headers" |
    sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
    sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\][[:space:]]*\([^[:space:]]*\).*/\1/p' | sort)
  [ -n "$actual" ] || fail "no export name table found"
  if [ "$expected" != "$actual" ]; then
    diff <(echo "$expected") <(echo "$actual") >&2 || true
    fail "export table differs from $def (< expected, > actual)"
  fi
  if printf '%s\n' "$actual" | grep -qE '@|^_'; then
    fail "decorated export names: $(printf '%s\n' "$actual" | grep -E '@|^_' | tr '\n' ' ')"
  fi
  grep -qx DllMain <<<"$actual" || fail "DllMain is not exported"
  echo "exports ($(wc -l <<<"$actual")): $(tr '\n' ' ' <<<"$actual")"
  ;;
imports)
  dlls=$(printf '%s\n' "$headers" | sed -n 's/^[[:space:]]*DLL Name: \(.*\)$/\1/p' |
    tr '[:upper:]' '[:lower:]' | sort -u)
  [ -n "$dlls" ] || fail "no imports found"
  allowed='^(kernel32|user32|advapi32|comctl32|msvcrt)\.dll$'
  bad=$(grep -vE "$allowed" <<<"$dlls" || true)
  [ -z "$bad" ] || fail "imports DLLs a host machine may not have: $(tr '\n' ' ' <<<"$bad")"
  echo "imports: $(tr '\n' ' ' <<<"$dlls")"
  ;;
version)
  # The version block is UTF-16 in .rsrc: look for its key and the version strings.
  printf '%s\n' "$headers" | grep -q 'Resource Directory' || fail "no resource section"
  text=$(strings -a -e l "$dll")
  for needle in VS_VERSION_INFO 040904b0 FileVersion ProductVersion "1, 0, 0, 5" svcsheet.dll; do
    grep -qF "$needle" <<<"$text" || fail "version resource lacks '$needle'"
  done
  echo "version resource present"
  ;;
*)
  fail "unknown check '$check'"
  ;;
esac
