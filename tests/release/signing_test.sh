#!/usr/bin/env bash
# Signing with tools/sign.sh: a throwaway certificate made here signs copies of the built
# binaries, and osslsigncode checks each signature against that certificate. Then the cases
# that must not pass: an unsigned binary, a signature checked against another certificate, a
# signed binary changed afterwards, and a wrong password (which must leave the file as it was).
#   signing_test.sh SOURCE_DIR BINARY...
set -uo pipefail
source_dir="$1"
shift
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0
check() {  # check DESCRIPTION COMMAND...: the command must succeed
  local what="$1"
  shift
  if "$@" >"$work/out" 2>&1; then echo "ok: $what"; else
    echo "FAILED: $what"; sed 's/^/    /' "$work/out"; failures=$((failures + 1)); fi
}
refuse() {  # refuse DESCRIPTION COMMAND...: the command must fail
  local what="$1"
  shift
  if "$@" >"$work/out" 2>&1; then
    echo "FAILED (was accepted): $what"; sed 's/^/    /' "$work/out"; failures=$((failures + 1))
  else echo "ok: $what"; fi
}

# make_certificate NAME PASSWORD: NAME.pem (certificate) and NAME.pfx (key and certificate).
make_certificate() {
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Corvane test signing $1" \
    -addext "extendedKeyUsage=codeSigning" -addext "keyUsage=digitalSignature" \
    -keyout "$work/$1.key" -out "$work/$1.pem" >/dev/null 2>&1 &&
  openssl pkcs12 -export -inkey "$work/$1.key" -in "$work/$1.pem" -out "$work/$1.pfx" \
    -passout "pass:$2" >/dev/null 2>&1
}
verify() { osslsigncode verify -CAfile "$2" -in "$1"; }

make_certificate signer 'pass word;$1' || { echo "cannot make a certificate"; exit 1; }
make_certificate stranger other || { echo "cannot make a certificate"; exit 1; }

copies=()
for binary in "$@"; do
  copy="$work/$(basename "$binary")"
  cp "$binary" "$copy"
  copies+=("$copy")
  refuse "unsigned $(basename "$binary") does not verify" verify "$copy" "$work/signer.pem"
done

check "sign.sh signs ${copies[*]##*/}" env CORVANE_SIGN_CERT="$work/signer.pfx" \
  CORVANE_SIGN_PASSWORD='pass word;$1' bash "$source_dir/tools/sign.sh" "${copies[@]}"
for copy in "${copies[@]}"; do
  check "$(basename "$copy") verifies against the signing certificate" \
    verify "$copy" "$work/signer.pem"
  refuse "$(basename "$copy") does not verify against another certificate" \
    verify "$copy" "$work/stranger.pem"
done

# One byte of the signed program's code changed: the signature must no longer hold.
tampered="$work/tampered-$(basename "${copies[0]}")"
cp "${copies[0]}" "$tampered"
printf '\x90' | dd of="$tampered" bs=1 seek=1100 conv=notrunc status=none
refuse "a signed binary changed afterwards does not verify" verify "$tampered" "$work/signer.pem"

# A wrong password: sign.sh fails and leaves the file byte for byte as it was.
plain="$work/plain-$(basename "$1")"
cp "$1" "$plain"
refuse "sign.sh refuses a wrong password" env CORVANE_SIGN_CERT="$work/signer.pfx" \
  CORVANE_SIGN_PASSWORD=wrong bash "$source_dir/tools/sign.sh" "$plain"
check "a failed signing leaves the file unchanged" cmp "$1" "$plain"
refuse "sign.sh without a certificate signs nothing" env -u CORVANE_SIGN_CERT \
  bash "$source_dir/tools/sign.sh" "$plain"
check "... and leaves the file unchanged" cmp "$1" "$plain"

echo "signing: $failures failed"
[ "$failures" -eq 0 ]
