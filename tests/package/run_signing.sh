#!/usr/bin/env bash
# The release step's signing, as scripts/package --sign does it, on this build tree:
# makes a throwaway code-signing certificate, packs the archive with it, and checks
# that every PE file in the archive verifies against that certificate; given an
# emulator, the sample applet then opens its sheet on the signed DLL. No timestamp
# server: the test uses no network.
#
#   run_signing.sh BUILD_DIR WORK_DIR [EMULATOR...]
set -euo pipefail
build_dir=$1 work=$2
shift 2
emulator=("$@")
fail() { echo "FAIL: $*" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work/unpacked" "$work/run"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=svcsheet test signer" \
  -addext "extendedKeyUsage=codeSigning" -addext "keyUsage=digitalSignature" \
  -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/cert.pfx" \
  -passout pass:throwaway
SVCSHEET_SIGN_PASSWORD=throwaway SVCSHEET_SIGN_TIMESTAMP= \
  cpack --config "$build_dir/CPackConfig.cmake" -B "$work/package" \
        -D "CPACK_SVCSHEET_SIGN_CERT=$work/cert.pfx" >/dev/null

archives=("$work"/package/*.zip)
archive=${archives[0]}
(cd "$work/package" && sha256sum --check --quiet "${archive##*/}.sha256") ||
  fail "the sums do not match the signed archive"
(cd "$work/unpacked" && cmake -E tar xf "$archive")
verified=()
while IFS= read -r -d '' file; do
  [ "$(head -c 2 "$file")" = MZ ] || continue
  out=$(osslsigncode verify -CAfile "$work/cert.pem" -in "$file" 2>&1) ||
    fail "${file#"$work/unpacked/"} does not verify:"$'\n'"$out"
  grep -q "Signature verification: ok" <<<"$out" || fail "${file#"$work/unpacked/"}: $out"
  verified+=("${file#"$work/unpacked/"}")
done < <(find "$work/unpacked" -type f -print0 | sort -z)
printf '%s\n' "${verified[@]}" | grep -q '/bin/svcsheet.dll$' || fail "svcsheet.dll was not signed"
echo "signed and verified against the test certificate: ${verified[*]}"

if [ ${#emulator[@]} -gt 0 ]; then
  cp "$build_dir/control_panel_check.exe" "$build_dir/svcdemo.cpl" "$work/run/"
  cp "$work"/unpacked/*/bin/svcsheet.dll "$work/run/"
  "${emulator[@]}" "$work/run/control_panel_check.exe" || fail "the signed DLL did not show its sheet"
fi
