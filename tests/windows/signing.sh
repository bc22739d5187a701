#!/usr/bin/env bash
# signing.sh WIN_BUILD: `make windows-package` with a certificate signs both programs, the
# uninstaller and the installer. The certificate is a throw-away self-signed one made here with
# openssl (WIN_BUILD/test-signing); every signature must verify against it. The package is left
# signed, so that installer.sh verifies the uninstaller the installer puts down.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
WIN_BUILD=$(readlink -f "$1")
fail() { echo "signing.sh: $*" >&2; exit 1; }
for tool in osslsigncode openssl; do
    command -v "$tool" >/dev/null || fail "$tool is missing (scripts/install-deps.sh windows)"
done

keys=$WIN_BUILD/test-signing
rm -rf "$keys" && mkdir -p "$keys" && chmod 700 "$keys"
password=$(openssl rand -hex 12)
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Orbiqa test signing" \
    -addext "extendedKeyUsage=codeSigning" -keyout "$keys/key.pem" -out "$keys/cert.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$keys/key.pem" -in "$keys/cert.pem" -out "$keys/test.pfx" -passout "pass:$password"
rm -f "$keys/key.pem"

log=$keys/package.log
SIGN_PFX=$keys/test.pfx SIGN_PASSWORD=$password "$here/../../packaging/windows/package.sh" "$WIN_BUILD" > "$log" 2>&1 ||
    { cat "$log"; fail "packaging with a certificate failed"; }
! grep -F "$password" "$log" >/dev/null || fail "the password was printed"
setup=$(ls "$WIN_BUILD"/orbiqa-*-setup.exe | head -n 1)
zip_file=$(ls "$WIN_BUILD"/orbiqa-*-win64.zip | head -n 1)
stage=$(ls -d "$WIN_BUILD"/stage/orbiqa-* | head -n 1)
unzip -q -o "$zip_file" -d "$keys/zip"
count=0
for file in "$setup" "$stage/orbiqa.exe" "$stage/orbiqa-cli.exe" "$keys"/zip/*/orbiqa.exe "$keys"/zip/*/orbiqa-cli.exe; do
    osslsigncode verify -CAfile "$keys/cert.pem" -in "$file" >/dev/null || fail "$(basename "$file") is not signed"
    count=$((count + 1))
done
# A signature that does not verify must be told apart: the same file checked against another
# certificate.
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Someone else" -keyout /dev/null \
    -out "$keys/other.pem" 2>/dev/null
! osslsigncode verify -CAfile "$keys/other.pem" -in "$setup" >/dev/null 2>&1 || fail "a foreign certificate verifies"
rm -rf "$keys/zip"
echo "signing.sh: $count signatures verified (the uninstaller's by installer.sh)"
