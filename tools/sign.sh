#!/usr/bin/env bash
# Signs Windows binaries in place with an Authenticode signature (osslsigncode, SHA-256) and
# checks every signature before it replaces a file.
#   CORVANE_SIGN_CERT=signing.pfx CORVANE_SIGN_PASSWORD=... bash tools/sign.sh FILE...
# CORVANE_SIGN_CERT      PKCS#12 file holding the signing key and its certificate (chain)
# CORVANE_SIGN_PASSWORD  its password; handed to osslsigncode and openssl through a file only
#                        this user can read, never on a command line
# CORVANE_SIGN_CA        optional: certificates the signatures are checked against (PEM);
#                        default: the certificates in the PKCS#12 file
# CORVANE_SIGN_TIMESTAMP_URL  optional: an RFC 3161 time-stamp server
# Any failure leaves the file it happened on, and every file after it, unchanged, and ends
# with a non-zero status.
set -euo pipefail

fail() { echo "sign: $*" >&2; exit 1; }

[ $# -gt 0 ] || fail "no file given"
cert="${CORVANE_SIGN_CERT:-}"
[ -n "$cert" ] || fail "CORVANE_SIGN_CERT is not set"
[ -f "$cert" ] || fail "no certificate file $cert"
command -v osslsigncode >/dev/null || fail "osslsigncode is not installed (tools/bootstrap.sh)"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
(umask 077 && printf '%s' "${CORVANE_SIGN_PASSWORD:-}" >"$work/password")

ca="${CORVANE_SIGN_CA:-}"
if [ -z "$ca" ]; then
  ca="$work/certificates.pem"
  openssl pkcs12 -in "$cert" -nokeys -passin "file:$work/password" -out "$ca" 2>"$work/log" \
    || { cat "$work/log" >&2; fail "cannot read the certificates of $cert (wrong password?)"; }
fi

timestamp=()
[ -n "${CORVANE_SIGN_TIMESTAMP_URL:-}" ] && timestamp=(-ts "$CORVANE_SIGN_TIMESTAMP_URL")

for file in "$@"; do
  [ -f "$file" ] || fail "no file $file"
  signed="$work/signed"
  rm -f "$signed"
  osslsigncode sign -pkcs12 "$cert" -readpass "$work/password" -h sha256 \
    -n "Corvane clean-up" "${timestamp[@]}" -in "$file" -out "$signed" >"$work/log" 2>&1 \
    || { cat "$work/log" >&2; fail "signing $file failed"; }
  osslsigncode verify -CAfile "$ca" -in "$signed" >"$work/log" 2>&1 \
    || { cat "$work/log" >&2; fail "the signature of $file does not verify"; }
  # Copied over the original, which keeps its permissions.
  cp "$signed" "$file"
  echo "signed: $file"
done
