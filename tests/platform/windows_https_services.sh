#!/usr/bin/env bash
# The WinHTTP client's certificate checks against the HTTPS test service, under Wine: one
# service with a certificate of the test authority, one with a self-signed certificate. The
# test program finds them through HALVEK_TEST_HTTPS_CA_PORT, HALVEK_TEST_HTTPS_SELF_PORT and
# HALVEK_TEST_CA_FILE.
# Usage: windows_https_services.sh PLATFORM_TESTS_EXE
set -euo pipefail
tests="$1"
here="$(cd "$(dirname "$0")/.." && pwd)"
scratch="$(mktemp -d)"
servers=""
cleanup() {
    for pid in $servers; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$scratch"
}
trap cleanup EXIT
command -v python3 >/dev/null && command -v openssl >/dev/null || {
    echo "python3 and openssl are needed for the HTTPS test service" >&2
    exit 1
}
python3 "$here/support/test_server.py" certs --certs "$scratch/certs"
# Starts a service with the certificate named; its port in $port.
start() {
    python3 "$here/support/test_server.py" https --certs "$scratch/certs" --cert "$1" \
        --lifetime 120 > "$scratch/$1.out" 2>&1 &
    servers="$servers $!"
    port=""
    for _ in $(seq 1 100); do
        port="$(sed -n 's/^PORT //p' "$scratch/$1.out")"
        [ -n "$port" ] && return
        sleep 0.1
    done
    echo "the $1 service did not start" >&2
    exit 1
}
start ca
export HALVEK_TEST_HTTPS_CA_PORT="$port"
start self
export HALVEK_TEST_HTTPS_SELF_PORT="$port"
export HALVEK_TEST_CA_FILE="Z:$scratch/certs/ca.pem"
wine "$tests" --gtest_filter='WindowsHttpsService.*'
