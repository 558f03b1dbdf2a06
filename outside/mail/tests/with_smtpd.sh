#!/usr/bin/env bash
# Runs a command beside the loopback SMTP servers of smtp_peer.py:
#   with_smtpd.sh WORKDIR command args...
# Exports VANTREL_SMTP_DIR (the saved messages), VANTREL_SMTP_<NAME>_PORT for each
# server and VANTREL_SMTP_TRUSTED_CERT (DER) for the test to make its prefix trust.
# Exit 77 (skipped) when aiosmtpd is missing. Without openssl there are no certificates:
# the TLS servers are left out and the test skips their cases.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$1; shift
py=/usr/bin/python3
if ! "$py" -c 'import aiosmtpd' 2>/dev/null; then echo "python3-aiosmtpd not installed: skipped"; exit 77; fi
rm -rf "$work"; mkdir -p "$work/mail"

cert() {  # name: a self-signed certificate for localhost and 127.0.0.1
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=localhost" \
    -addext "subjectAltName=DNS:localhost,IP:127.0.0.1" \
    -keyout "$work/$1.key" -out "$work/$1.pem" 2>/dev/null
  openssl x509 -in "$work/$1.pem" -outform der -out "$work/$1.der"
}
tls=()
if command -v openssl >/dev/null; then
  cert trusted
  cert untrusted
  tls=("$work/trusted.pem" "$work/trusted.key" "$work/untrusted.pem" "$work/untrusted.key")
else
  echo "openssl not installed: no TLS servers"
fi

"$py" "$here/smtp_peer.py" "$work/mail" "${tls[@]}" </dev/null >"$work/peer.out" 2>&1 &
pid=$!
trap 'kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null || true' EXIT

for _ in $(seq 150); do
  [ -f "$work/mail/ports" ] && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if [ ! -f "$work/mail/ports" ]; then echo "SMTP servers did not start:"; cat "$work/peer.out"; exit 1; fi
while read -r name port; do
  export "VANTREL_SMTP_${name^^}_PORT=$port"
done <"$work/mail/ports"
export VANTREL_SMTP_DIR=$work/mail
((${#tls[@]})) && export VANTREL_SMTP_TRUSTED_CERT=$work/trusted.der
set +e
"$@"
exit $?
