#!/usr/bin/env bash
# Builds the host program and runs it on the embedded default database.
#   scripts/run.sh [vantor arguments...]   (scripts/run.sh --help lists them)
# Without arguments it runs one synchronisation round (vantor round), which on a database without
# accounts first makes the demonstration.
# The build is quiet when it succeeds; when it fails, its output is shown and nothing runs.
# The round and the seller-zone commands (scripts/run.sh zone config ..., scripts/run.sh zone sync) run against
# the seller-zone test service (so does scripts/run.sh account zone ID ...), started here on loopback over HTTPS with a certificate made for the
# run and the demonstration data (testing/zone_service/demo-accounts.txt), in a registry file of
# the run's own (the user's registry never learns the test service's address). The service runs
# in a session of its own, so that Ctrl+C reaches the program (which stops its synchronisation
# at its next check) and not the service. Its pages live on between runs in a state file beside
# the database (<database>.zone-service). scripts/run.sh zone buyer-entry enters, as buyers would,
# the demonstration's buyer entry on the demonstration seller's open pages of that state.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
if (($# == 0)); then set -- round; fi
scripts/setup.sh run
build=build/release
mkdir -p "$build"
log="$build/run-build.log"
if [ ! -x "$build/bin/vantor" ]; then
  echo "run: building the program for the first time (a minute or more)..." >&2
fi
# The command word and the one after it: the arguments that are neither options nor an option's
# value. The database is --db's, else the program's default.
command=""
subcommand=""
db="$HOME/.local/share/vantor/vantor.db"
args=("$@")
for ((i = 0; i < ${#args[@]}; i++)); do
  case "${args[i]}" in
    --db) if ((i + 1 < ${#args[@]})); then db="${args[i + 1]}"; fi; i=$((i + 1)) ;;
    --registry|--ca|--host|--description|--www|--login|--password|--site|--set) i=$((i + 1)) ;;
    -*) ;;
    *) if [ -z "$command" ]; then command="${args[i]}"; elif [ -z "$subcommand" ]; then subcommand="${args[i]}"; fi ;;
  esac
done
# The seller-zone commands: zone ..., account zone ID, and the round.
zone_run=0
if [ "$command" = zone ] || [ "$command" = round ] || { [ "$command" = account ] && [ "$subcommand" = zone ]; }; then
  zone_run=1
fi
targets=(vantor)
if ((zone_run)); then targets+=(zone-service); fi
if ! { cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release &&
       cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"; } >"$log" 2>&1; then
  cat "$log" >&2
  echo "run: the build failed (its output is above and in $log)" >&2
  exit 1
fi
if ((!zone_run)); then
  exec "$build/bin/vantor" "$@"
fi

# The test service's pages between runs, beside the database.
state="$db.zone-service"
if [ "$db" = "$HOME/.local/share/vantor/vantor.db" ]; then mkdir -p "$(dirname "$db")"; fi
if [ "$subcommand" = buyer-entry ]; then
  exec "$build/bin/zone-service" --state "$state" --accounts-file testing/zone_service/demo-accounts.txt \
    --enter-buyer-data 7000001
fi

# The seller-zone test service with the demonstration account's credentials.
tmp="$(mktemp -d)"
service=""
cleanup() {
  if [ -n "$service" ]; then kill "$service" 2>/dev/null || true; wait "$service" 2>/dev/null || true; fi
  rm -rf "$tmp"
}
trap cleanup EXIT
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$tmp/key.pem" -out "$tmp/cert.pem" -days 1 \
  -subj /CN=localhost -addext "subjectAltName=DNS:localhost,IP:127.0.0.1" >/dev/null 2>&1
setsid "$build/bin/zone-service" --https --cert "$tmp/cert.pem" --key "$tmp/key.pem" \
  --accounts-file testing/zone_service/demo-accounts.txt --state "$state" >"$tmp/service.out" 2>&1 &
service=$!
port=""
for _ in $(seq 1 100); do
  port="$(sed -n 's|^listening on https://127.0.0.1:\([0-9]*\)/.*|\1|p' "$tmp/service.out")"
  if [ -n "$port" ] || ! kill -0 "$service" 2>/dev/null; then break; fi
  sleep 0.05
done
if [ -z "$port" ]; then
  cat "$tmp/service.out" >&2
  echo "run: the seller-zone test service did not start" >&2
  exit 1
fi
registry=()
case " $* " in *" --registry "*) ;; *) registry=(--registry "$tmp/registry") ;; esac
status=0
"$build/bin/vantor" "${registry[@]}" --ca "$tmp/cert.pem" "$@" --host "127.0.0.1:$port" || status=$?
exit "$status"
