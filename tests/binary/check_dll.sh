#!/usr/bin/env bash
# Static checks of a built svcsheet.dll (or another DLL of ours), run on Linux with
# the cross objdump.
#
#   check_dll.sh CHECK OBJDUMP DLL DEF MACHINE [ARG]
#
# CHECK is one of: machine, exports, imports, header, version. MACHINE is the
# objdump format name expected (pei-i386 or pei-x86-64). ARG: for exports a name
# that must be among them, for imports the allow-list file, for header the highest
# OS and subsystem version allowed (4.0), for version the project version (1.0.0.5).
set -euo pipefail
export LC_ALL=C # one collation for sort and comm; bytes for grep
# No reader here quits early (grep -q on a pipe, awk exit): under pipefail the
# writer's SIGPIPE would fail the check at random.
check=$1 objdump=$2 dll=$3 def=$4 machine=$5 arg=${6:-}

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
  if grep -qE '@|^_' <<<"$actual"; then
    fail "decorated export names: $(grep -E '@|^_' <<<"$actual" | tr '\n' ' ')"
  fi
  if [ -n "$arg" ]; then
    grep -qx "$arg" <<<"$actual" || fail "$arg is not exported"
  fi
  echo "exports ($(wc -l <<<"$actual")): $(tr '\n' ' ' <<<"$actual")"
  ;;
imports)
  # One "dll!function" per import, DLL names in lower case; by ordinal: "dll!#N".
  actual=$(printf '%s\n' "$headers" | awk '
    /^The Import Tables/ { in_imports = 1; next }
    in_imports && /^The / { in_imports = 0 }
    in_imports && /DLL Name:/ { dll = tolower($3); next }
    in_imports && dll != "" && /^\t[0-9a-f]+\t/ { print dll "!" ($3 == "<none>" ? "#" $2 : $3) }
  ' | sort -u)
  [ -n "$actual" ] || fail "no imports found"
  allowed=$(awk 'NF && $1 !~ /^#/ { split($1, p, "!"); print tolower(p[1]) "!" p[2] }' "$arg" | sort -u)
  extra=$(comm -23 <(echo "$actual") <(echo "$allowed"))
  [ -z "$extra" ] || fail "imports outside $(basename "$arg"): $(tr '\n' ' ' <<<"$extra")"
  echo "imports ($(wc -l <<<"$actual")), all in $(basename "$arg")"
  ;;
header)
  # An older Windows refuses an image whose subsystem version is above its own.
  for field in OSystem Subsystem; do
    major=$(printf '%s\n' "$headers" | awk -v f="Major${field}Version" '$1 == f { print $2 }')
    minor=$(printf '%s\n' "$headers" | awk -v f="Minor${field}Version" '$1 == f { print $2 }')
    [ -n "$major" ] && [ -n "$minor" ] || fail "no ${field} version in the PE header"
    if [ $((major * 100 + minor)) -gt $((${arg%.*} * 100 + ${arg#*.})) ]; then
      fail "${field} version $major.$minor is above $arg"
    fi
    echo "${field} version $major.$minor (at most $arg)"
  done
  ;;
version)
  # The version block is UTF-16 in .rsrc: its key, the strings, and the numbers of
  # the fixed part (after the 0xFEEF04BD signature) as the project version has them.
  grep -q 'Resource Directory' <<<"$headers" || fail "no resource section"
  IFS=. read -r v1 v2 v3 v4 <<<"$arg"
  text=$(strings -a -e l "$dll")
  for needle in VS_VERSION_INFO 040904b0 FileVersion ProductVersion "$v1, $v2, $v3, ${v4:-0}" \
                svcsheet.dll; do
    grep -qF "$needle" <<<"$text" || fail "version resource lacks '$needle'"
  done
  at=$(grep -m 1 -obUaP '\xbd\x04\xef\xfe' "$dll" | cut -d: -f1)
  [ -n "$at" ] || fail "no fixed version information"
  # dwFileVersionMS/LS, dwProductVersionMS/LS as little-endian 16-bit words.
  words=$(od -An -tu2 -j $((at + 8)) -N 16 "$dll" | tr -s ' \n' ' ')
  expected=" $v2 $v1 ${v4:-0} $v3 $v2 $v1 ${v4:-0} $v3 "
  [ "$words" = "$expected" ] || fail "fixed version numbers read '$words', expected '$expected'"
  echo "version resource present: $arg"
  ;;
*)
  fail "unknown check '$check'"
  ;;
esac
