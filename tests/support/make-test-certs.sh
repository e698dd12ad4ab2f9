#!/usr/bin/env bash
# make-test-certs.sh DIR: a throw-away certificate authority and server certificates for the
# https tests, made fresh on every run (nothing secret is kept in the tree):
#   ca.pem                   the test authority (what NB_CA_BUNDLE names)
#   good.{pem,key}           127.0.0.1 and localhost, signed by it
#   othername.{pem,key}      a certificate for another name, signed by it
#   expired.{pem,key}        127.0.0.1, signed by it, no longer valid
#   selfsigned.{pem,key}     127.0.0.1, signed by nobody the launcher trusts
set -euo pipefail
dir="${1:?output folder}"
mkdir -p "$dir"
cd "$dir"
new_key() { openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$1" 2> /dev/null; }

new_key ca.key
openssl req -x509 -key ca.key -out ca.pem -days 2 -subj /CN=NbLauncher-test-CA \
  -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign 2> /dev/null

# signed NAME SUBJECT_ALT_NAME DAYS
signed() {
  new_key "$1.key"
  openssl req -new -key "$1.key" -out "$1.csr" -subj "/CN=$1" 2> /dev/null
  openssl x509 -req -in "$1.csr" -CA ca.pem -CAkey ca.key -CAcreateserial -days "$3" -out "$1.pem" \
    -extfile <(printf 'subjectAltName=%s\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n' "$2") 2> /dev/null
  rm -f "$1.csr"
}
signed good IP:127.0.0.1,DNS:localhost 2
signed othername DNS:other.invalid 2
signed expired IP:127.0.0.1,DNS:localhost -1

new_key selfsigned.key
openssl req -x509 -key selfsigned.key -out selfsigned.pem -days 2 -subj /CN=127.0.0.1 \
  -addext subjectAltName=IP:127.0.0.1,DNS:localhost 2> /dev/null
