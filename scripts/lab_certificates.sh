#!/usr/bin/env bash
# Makes the lab's certificates (called by cmake/LabCertificates.cmake at build
# time; nothing it writes is kept in the repository):
#
#   lab_certificates.sh <out-dir> <signer name> <wrong signer name>
#
#   lab-ca.crt, lab-ca.cer, lab-ca.key   the lab's root CA (PEM, DER, key)
#   signer.crt, signer.key               code signing, CN = <signer name>
#   wrong-signer.crt, wrong-signer.key   code signing, CN = <wrong signer name>
#   tls-server.crt, tls-server.key       TLS server for 127.0.0.1 and localhost
#                                        (SAN IP:127.0.0.1, DNS:localhost)
#   impostor.crt, impostor.key           code signing, CN = <signer name>, but
#                                        self-signed: no one trusts it
#   line-break.crt, line-break.key       code signing, CN = <signer name>, a line
#                                        break and what looks like a log line
#   tls-untrusted.crt, tls-untrusted.key the same names, self-signed: no prefix
#                                        trusts it
#   tls-otherhost.crt, tls-otherhost.key TLS server issued by the lab CA for
#                                        another host (DNS:other.invalid) only
#
# All but the impostor are issued by the lab CA; keys are unencrypted PEM (PKCS#8). A second
# run with the same names keeps what is there, so packages signed before stay
# valid; another signer name makes the signer certificates anew.
set -euo pipefail
OUT="$1"
SIGNER="$2"
WRONG_SIGNER="$3"
DAYS=3650
mkdir -p "$OUT"
cd "$OUT"

# Subject texts go to openssl as "/CN=..."; a slash or backslash in a name
# would start another attribute.
LINE_BREAK_NAME="$SIGNER
[INFO] a forged line"
for name in "$SIGNER" "$WRONG_SIGNER"; do
    case "$name" in
    */* | *\\* | "") echo "lab_certificates.sh: unusable signer name \"$name\"" >&2; exit 2 ;;
    esac
done

new_key() { openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out "$1" 2>/dev/null; }

# issue <name> <subject CN> <extensions>: a certificate issued by the lab CA.
issue() {
    local name="$1" cn="$2" ext="$3"
    new_key "$name.key"
    openssl req -new -key "$name.key" -subj "/O=QEVZUN Lab/CN=$cn" -out "$name.csr"
    printf '%s\n' "$ext" >"$name.ext"
    openssl x509 -req -in "$name.csr" -CA lab-ca.crt -CAkey lab-ca.key -CAcreateserial \
        -days "$DAYS" -sha256 -extfile "$name.ext" -out "$name.crt" 2>/dev/null
    rm -f "$name.csr" "$name.ext"
    printf '%s' "$cn" >"$name.name"
}

# self_signed <name> <subject CN> <openssl req options...>: a certificate that
# signs itself.
self_signed() {
    local name="$1" cn="$2"
    shift 2
    new_key "$name.key"
    openssl req -new -x509 -key "$name.key" -sha256 -days "$DAYS" -subj "/O=QEVZUN Lab/CN=$cn" "$@" -out "$name.crt"
    printf '%s' "$cn" >"$name.name"
}

# current <name> <subject CN>: true when the certificate is there for that name.
current() { [ -s "$1.crt" ] && [ -s "$1.key" ] && [ "$(cat "$1.name" 2>/dev/null)" = "$2" ]; }

if [ ! -s lab-ca.crt ] || [ ! -s lab-ca.key ]; then
    self_signed lab-ca "QEVZUN Lab Root CA" -addext "basicConstraints=critical,CA:TRUE" \
        -addext "keyUsage=critical,keyCertSign,cRLSign" -addext "subjectKeyIdentifier=hash"
    rm -f signer.name wrong-signer.name tls-server.name tls-otherhost.name
fi
openssl x509 -in lab-ca.crt -outform DER -out lab-ca.cer

CODE_SIGNING="basicConstraints=critical,CA:FALSE
keyUsage=critical,digitalSignature
extendedKeyUsage=codeSigning
subjectKeyIdentifier=hash
authorityKeyIdentifier=keyid"
current signer "$SIGNER" || issue signer "$SIGNER" "$CODE_SIGNING"
current wrong-signer "$WRONG_SIGNER" || issue wrong-signer "$WRONG_SIGNER" "$CODE_SIGNING"
current line-break "$LINE_BREAK_NAME" || issue line-break "$LINE_BREAK_NAME" "$CODE_SIGNING"
current tls-server localhost || issue tls-server localhost "basicConstraints=critical,CA:FALSE
keyUsage=critical,digitalSignature,keyEncipherment
extendedKeyUsage=serverAuth
subjectAltName=IP:127.0.0.1,DNS:localhost
subjectKeyIdentifier=hash
authorityKeyIdentifier=keyid"
current impostor "$SIGNER" || self_signed impostor "$SIGNER" -addext "keyUsage=critical,digitalSignature" \
    -addext "extendedKeyUsage=codeSigning"

# The two certificates a client must refuse: one that no trusted CA issued,
# and one that the trusted CA issued for a name other than the one dialled.
current tls-untrusted localhost || self_signed tls-untrusted localhost -addext "basicConstraints=critical,CA:FALSE" \
    -addext "extendedKeyUsage=serverAuth" -addext "subjectAltName=IP:127.0.0.1,DNS:localhost"
current tls-otherhost other.invalid || issue tls-otherhost other.invalid "basicConstraints=critical,CA:FALSE
keyUsage=critical,digitalSignature,keyEncipherment
extendedKeyUsage=serverAuth
subjectAltName=DNS:other.invalid
subjectKeyIdentifier=hash
authorityKeyIdentifier=keyid"
touch lab-certificates.stamp
