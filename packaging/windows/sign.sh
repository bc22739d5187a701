#!/usr/bin/env bash
# sign.sh FILE...: signs Windows programs in place with osslsigncode (Authenticode, SHA-256),
# with the certificate and key of the PKCS#12 file $SIGN_PFX and its password $SIGN_PASSWORD,
# and a time stamp from $SIGN_TIMESTAMP_URL where that is given. The password reaches
# osslsigncode through a private file, never the command line, where other users could read it.
set -euo pipefail
: "${SIGN_PFX:?sign.sh: SIGN_PFX names no certificate}"
[ -f "$SIGN_PFX" ] || { echo "sign.sh: no certificate file '$SIGN_PFX'" >&2; exit 1; }
command -v osslsigncode >/dev/null || { echo "sign.sh: osslsigncode is missing (scripts/install-deps.sh windows)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 700 "$work"
printf '%s' "${SIGN_PASSWORD:-}" > "$work/pass"
stamp=()
[ -n "${SIGN_TIMESTAMP_URL:-}" ] && stamp=(-ts "$SIGN_TIMESTAMP_URL")
for file in "$@"; do
    osslsigncode sign -pkcs12 "$SIGN_PFX" -readpass "$work/pass" -h sha256 -n "Orbiqa" \
        "${stamp[@]}" -in "$file" -out "$work/signed" >/dev/null ||
        { echo "sign.sh: signing $file failed" >&2; exit 1; }
    # cat keeps the file's own name, owner and mode.
    cat "$work/signed" > "$file"
    rm -f "$work/signed"
done
