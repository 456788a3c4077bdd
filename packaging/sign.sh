#!/usr/bin/env bash
# Signs one Windows executable in place with Authenticode (SHA-256), or checks its
# signature:
#   IVL_SIGN_PFX=cert.pfx IVL_SIGN_PASSWORD=... [IVL_SIGN_TIMESTAMP_URL=...] sign.sh FILE
#   IVL_SIGN_PFX=cert.pfx IVL_SIGN_PASSWORD=... sign.sh --verify FILE
# The password reaches osslsigncode through a pipe, never on a command line.
set -euo pipefail
[ -n "${IVL_SIGN_PFX:-}" ] || { echo "sign.sh: IVL_SIGN_PFX is not set" >&2; exit 2; }
[ -f "$IVL_SIGN_PFX" ] || { echo "sign.sh: no certificate at $IVL_SIGN_PFX" >&2; exit 2; }
password() { printf '%s' "${IVL_SIGN_PASSWORD:-}"; }

if [ "${1:-}" = --verify ]; then
    file=$2
    # The chain is checked against the certificate's own issuers in the PKCS#12 file,
    # so a self-signed test certificate verifies as well as a bought one.
    chain=$(mktemp)
    trap 'rm -f "$chain"' EXIT
    openssl pkcs12 -in "$IVL_SIGN_PFX" -passin fd:3 -nokeys -out "$chain" 3< <(password) 2>/dev/null \
        || openssl pkcs12 -legacy -in "$IVL_SIGN_PFX" -passin fd:3 -nokeys -out "$chain" 3< <(password)
    out=$(osslsigncode verify -in "$file" -CAfile "$chain" 2>&1) \
        || { echo "$out" >&2; echo "sign.sh: $file carries no valid signature" >&2; exit 1; }
    echo "signed: $(basename "$file") ($(grep -m1 -o 'Subject: .*' <<<"$out" || echo 'signature verified'))"
    exit 0
fi

file=$1
args=(sign -pkcs12 "$IVL_SIGN_PFX" -h sha256 -n "Ironvale Mod Installer"
    -i "https://ivl-mod-tools.example.org")
[ -z "${IVL_SIGN_TIMESTAMP_URL:-}" ] || args+=(-ts "$IVL_SIGN_TIMESTAMP_URL")
osslsigncode "${args[@]}" -readpass <(password) -in "$file" -out "$file.signed" >/dev/null
mv -f "$file.signed" "$file"
