#!/usr/bin/env bash
# What Windows debuggers and binary analyzers read in a built DLL: its hardening bits,
# one line per BinSkim rule, and its PDB matched against the DLL's CodeView entry.
#
#   check_image.sh hardening READOBJ PDBUTIL OBJDUMP DLL BITS
#   check_image.sh pdb       READOBJ PDBUTIL OBJDUMP DLL DEF SOURCE
#
# BITS is 32 or 64. The PDB is the DLL's name with .pdb. For pdb: every name the .def
# exports must be a function in the PDB, and SOURCE (a file name) must have lines.
set -euo pipefail
export LC_ALL=C
check=$1 readobj=$2 pdbutil=$3 objdump=$4 dll=$5
shift 5
pdb=${dll%.dll}.pdb
failed=0
fail() { echo "FAIL: $*" >&2; exit 1; }
rule() { # RULE WHAT OK
  if [ "$3" = yes ]; then echo "ok    $1: $2"; else echo "FAIL  $1: $2" >&2; failed=1; fi
}
[ -f "$dll" ] || fail "$dll does not exist"

headers=$("$readobj" --file-headers --sections --coff-debug-directory "$dll")
dll_flags=$(grep -o 'IMAGE_DLL_CHARACTERISTICS_[A-Z_]*' <<<"$headers" | sort -u)
has() { grep -qx "IMAGE_DLL_CHARACTERISTICS_$1" <<<"$2" && echo yes || echo no; }
# The public symbol's address (ImageBase + section + offset; pdbutil prints offsets in
# decimal), or nothing without a PDB.
public_address() {
  [ -f "$pdb" ] || return 0
  local at section offset base va
  at=$("$pdbutil" dump -publics "$pdb" |
    awk -v n="$1" '$0 ~ "`_*" n "`" { getline; sub(/.*addr = /, ""); print; exit }')
  [ -n "$at" ] || return 0
  section=$((10#${at%%:*})) offset=$((10#${at##*:}))
  base=$(awk '$1 == "ImageBase:" { print $2; exit }' <<<"$headers")
  va=$(awk -v s="$section" '$1 == "Number:" { n = $2 } $1 == "VirtualAddress:" && n == s { print $2 }' <<<"$headers")
  printf '%x\n' $((base + va + offset))
}

case "$check" in
hardening)
  bits=$1
  rule "BA2009 DYNAMIC_BASE" "ASLR" "$(has DYNAMIC_BASE "$dll_flags")"
  rule "BA2016 NX_COMPAT" "DEP" "$(has NX_COMPAT "$dll_flags")"
  if [ "$bits" = 64 ]; then
    rule "BA2015 HIGH_ENTROPY_VA" "64-bit ASLR" "$(has HIGH_ENTROPY_VA "$dll_flags")"
  else
    safeseh=$("$readobj" --coff-load-config "$dll" | awk '$1 == "SEHandlerCount:" && $2 > 0 { print "yes" }')
    ok=$(has NO_SEH "$dll_flags")
    [ "$safeseh" = yes ] && ok=yes
    rule "BA2018 NO_SEH or SafeSEH" "no SEH handler, or a table of the safe ones" "$ok"
  fi
  rule "BA2025 CET_COMPAT" "in the extended DLL characteristics debug entry" \
    "$(has EX_CET_COMPAT "$dll_flags")"
  # Cookies: calls to the stack protector's failure routine, found through the PDB.
  fail_at=$(public_address __stack_chk_fail)
  calls=0
  if [ -n "$fail_at" ]; then
    calls=$("$objdump" -d --no-show-raw-insn "$dll" | grep -cE "call +(0x)?$fail_at\b" || true)
  fi
  rule "BA2011 stack protection" "$calls cookie checks call the failure routine" \
    "$([ "$calls" -gt 0 ] && echo yes || echo no)"
  # One line per section: "NAME W X S" flags.
  sections=$(awk '$1 == "Name:" { if (n != "") print n, w, x, s; n = $2; w = x = s = 0 }
    /IMAGE_SCN_MEM_WRITE/ { w = 1 } /IMAGE_SCN_MEM_EXECUTE/ { x = 1 } /IMAGE_SCN_MEM_SHARED/ { s = 1 }
    END { if (n != "") print n, w, x, s }' <<<"$headers")
  wx=$(awk '$2 && $3 { printf "%s ", $1 }' <<<"$sections")
  ws=$(awk '$2 && $4 { printf "%s ", $1 }' <<<"$sections")
  rule "BA2021 no writable and executable section" "${wx:-none}" "$([ -z "$wx" ] && echo yes || echo no)"
  rule "BA2019 no shared writable section" "${ws:-none}" "$([ -z "$ws" ] && echo yes || echo no)"
  ;;
pdb)
  def=$1 source=$2
  [ -f "$pdb" ] || fail "no PDB beside the DLL: $pdb"
  # The CodeView entry: the GUID's first three fields are little-endian.
  read -r -a g < <(sed -n 's/.*PDBGUID: (\(.*\))/\1/p' <<<"$headers")
  [ ${#g[@]} -eq 16 ] || fail "no CodeView entry in the DLL's debug directory"
  dll_guid="${g[3]}${g[2]}${g[1]}${g[0]}-${g[5]}${g[4]}-${g[7]}${g[6]}-${g[8]}${g[9]}-${g[*]:10}"
  dll_guid=${dll_guid// /}
  dll_age=$(sed -n 's/.*PDBAge: //p' <<<"$headers")
  dll_name=$(sed -n 's/.*PDBFileName: //p' <<<"$headers")
  summary=$("$pdbutil" dump -summary "$pdb")
  pdb_guid=$(sed -n 's/.*GUID: {\(.*\)}/\1/p' <<<"$summary")
  pdb_age=$(sed -n 's/^ *Age: //p' <<<"$summary")
  [ "$dll_guid" = "$pdb_guid" ] || fail "GUID: the DLL names {$dll_guid}, the PDB is {$pdb_guid}"
  [ "$dll_age" = "$pdb_age" ] || fail "age: the DLL names $dll_age, the PDB is $pdb_age"
  [ "$dll_name" = "$(basename "$pdb")" ] || fail "the DLL names its PDB '$dll_name', not by file name alone"
  echo "GUID {$pdb_guid} and age $pdb_age match; the DLL names '$dll_name'"
  functions=$("$pdbutil" dump -symbols "$pdb" | sed -n 's/.*S_[GL]PROC32 .*`\(.*\)`$/\1/p' | sort -u)
  exports=$(sed -n '/^EXPORTS/,$p' "$def" | sed '1d' | awk 'NF && $1 !~ /^;/ {print $1}' | sort)
  missing=$(comm -23 <(echo "$exports") <(echo "$functions"))
  [ -z "$missing" ] || fail "exports without a function in the PDB: $(tr '\n' ' ' <<<"$missing")"
  echo "functions: $(wc -l <<<"$functions"), every export among them"
  lines=$("$pdbutil" dump -l "$pdb" | awk -v f="$source" '
    /^Mod / { inside = 0 } index($0, "/" f " (") || index($0, "\\" f " (") { inside = 1; next }
    inside && /line\/addr entries = / { sub(/.*entries = /, ""); n += $0 } END { print n + 0 }')
  [ "$lines" -gt 0 ] || fail "no source lines for $source"
  echo "$source: $lines line entries"
  ;;
*)
  fail "unknown check '$check'"
  ;;
esac
exit $failed
