#!/usr/bin/env bash
# Builds the optimised `release` preset and runs the benchmarks:
#  1. the store benchmarks, printing Google Benchmark's table followed by a
#     summary with each target's PASS/MISS;
#  2. the sync message benchmark (receive and build a 10,000-contact snapshot
#     envelope), against a bare simdjson parse of the same payload;
#  3. the snapshot ingest benchmark (a signed 10,000-contact snapshot frame
#     received into a fresh store, again into the filled one, and at 5,000
#     contacts; peak memory in a child process), against a raw SQLite insert of
#     the same rows into the store's own schema;
#  4. the peer link benchmark (1,000 x 10 KiB and one 20 MiB message from the
#     phone's client to the companion over loopback TLS), against a bare TLS
#     stream pair carrying the same bytes;
#  5. the MCP tools at scale: each of the sixteen tools on 100,000 contacts in
#     one event and over 50 events, with peak memory, against the same calls on
#     10,000 contacts from the same run;
#  6. the list rules (visibleContacts with chips, search and orderings on
#     10,000 contacts, the company roll-up, the dashboards, a keystroke in the
#     search of 50,000 contacts), against a plain filter loop, a plain stable
#     sort and the lower-casing of every text from the same run;
#  7. global search: two-word searches over 50,000 contacts in 20 events with
#     two notes each, and the index refresh after one written note or contact,
#     against a plain scan of the scoring rule and the index build, with an
#     equality check of the two;
#  8. the contact exports (CSV layouts, XLSX, vCard) of 10,000 contacts,
#     against a plain append and a memcpy of the same bytes;
#  9. the desktop window (when Qt 6 is installed), over events of 10,000,
#     20,000 and 50,000 contacts: first paint and peak memory of
#     quillmere-desktop opened at an event's contacts and at its dashboard (and
#     once a first Ctrl+K has built the search index), one keystroke in the
#     event's contacts search, and Ctrl+K then Enter to one of its contacts,
#     against a bare QApplication + QWidget process, visibleContacts alone and
#     the search engine alone from the same run; and the dashboard's charts
#     (the event dashboard of 10,000 contacts drawn with and without them in
#     the same run) and its post-show report written as a PDF;
# 10. the MCP server benchmarks (latency, throughput), against a baseline of
#     nginx serving a 64-byte JSON file on 127.0.0.1 from a temporary folder.
# Safe to run repeatedly: configuring and building are incremental, nginx is
# installed only when missing, every run works in temporary folders that it
# removes, and the nginx it starts is stopped on the way out, whatever happens.
# Extra arguments go to the store benchmark (e.g. --benchmark_filter=Insert).
# Exits non-zero when any benchmark fails to measure.
set -euo pipefail

cd "$(dirname "$0")/.."

if [ -f scripts/setup.sh ]; then
  bash scripts/setup.sh
fi

cmake --preset release
cmake --build --preset release --target store_bench sync_bench snapshot_ingest_bench \
  peer_link_bench mcp_bench mcp_scale_bench list_rules_bench search_bench export_bench
# The window's benchmark exists only when Qt 6 was found.
if [ -f build/release/build.ninja ] && grep -q '^build desktop_bench:' build/release/build.ninja; then
  cmake --build --preset release --target desktop_bench dashboard_charts_bench
fi

status=0
./build/release/bench/store_bench "$@" || status=$?

echo
echo "=== Sync message benchmark ==="
./build/release/bench/sync_bench || status=$?

echo
echo "=== Snapshot ingest benchmark ==="
./build/release/bench/snapshot_ingest_bench || status=$?

echo
echo "=== Peer link benchmark ==="
./build/release/bench/peer_link_bench || status=$?

echo
echo "=== MCP tools at scale ==="
./build/release/bench/mcp_scale_bench || status=$?

echo
echo "=== List rules benchmark ==="
./build/release/bench/list_rules_bench || status=$?

echo
echo "=== Global search benchmark ==="
./build/release/bench/search_bench || status=$?

echo
echo "=== Contact export benchmark ==="
./build/release/bench/export_bench || status=$?

if [ -x build/release/bench/desktop_bench ]; then
  echo
  echo "=== Desktop window benchmark ==="
  ./build/release/bench/desktop_bench || status=$?
  echo
  echo "=== Dashboard charts and post-show report benchmark ==="
  ./build/release/bench/dashboard_charts_bench || status=$?
fi

# --- nginx baseline ---------------------------------------------------------

log() { echo "bench: $*" >&2; }

find_nginx() {
  command -v nginx 2>/dev/null || { [ -x /usr/sbin/nginx ] && echo /usr/sbin/nginx; } || true
}

# The candidate version of a Debian package, or nothing when apt knows none.
candidate() {
  apt-cache policy "$1" 2>/dev/null | awk '/Candidate:/ { if ($2 != "(none)") print $2 }'
}

install_nginx() {
  command -v apt-get >/dev/null 2>&1 || return 1
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null 2>&1 || return 1
    sudo="sudo -n"
  fi
  if [ -z "$(candidate nginx-light)" ] && [ -z "$(candidate nginx)" ]; then
    $sudo apt-get update -q >&2 || return 1
  fi
  local package
  for package in nginx-light nginx; do
    if [ -n "$(candidate "$package")" ]; then
      log "installing $package for the baseline"
      DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends \
        "$package" >&2 && return 0
    fi
  done
  return 1
}

# Whether something accepts connections on 127.0.0.1:$1.
listening() {
  (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

nginx_dir=""
nginx_pid=""

stop_nginx() {
  if [ -n "$nginx_pid" ] && kill -0 "$nginx_pid" 2>/dev/null; then
    kill -TERM "$nginx_pid" 2>/dev/null || true
    for _ in $(seq 50); do
      kill -0 "$nginx_pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -KILL "$nginx_pid" 2>/dev/null || true
    wait "$nginx_pid" 2>/dev/null || true
  fi
  nginx_pid=""
}

cleanup() {
  stop_nginx
  if [ -n "$nginx_dir" ]; then rm -rf "$nginx_dir"; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Starts nginx on a free port of 127.0.0.1 and prints the port; fails (with a
# message on standard error) when it cannot.
start_nginx() {
  local nginx
  nginx=$(find_nginx)
  if [ -z "$nginx" ]; then
    install_nginx || log "could not install nginx"
    nginx=$(find_nginx)
  fi
  if [ -z "$nginx" ]; then
    log "nginx is not installed"
    return 1
  fi

  nginx_dir=$(mktemp -d /tmp/quillmere-bench-nginx.XXXXXX)
  # The worker runs as an unprivileged user when nginx starts as root.
  chmod 755 "$nginx_dir"
  mkdir -p "$nginx_dir/www" "$nginx_dir/temp"
  local head='{"jsonrpc":"2.0","id":1,"result":{"pad":"' tail='"}}' pad
  pad=$(printf '%*s' $((64 - ${#head} - ${#tail})) '' | tr ' ' x)
  printf '%s%s%s' "$head" "$pad" "$tail" >"$nginx_dir/www/ping.json"
  chmod 755 "$nginx_dir/www"
  chmod 644 "$nginx_dir/www/ping.json"

  local attempt port
  for attempt in 1 2 3 4 5 6 7 8; do
    port=$((20000 + RANDOM % 30000))
    if listening "$port"; then continue; fi
    cat >"$nginx_dir/nginx.conf" <<EOF
worker_processes 1;
daemon off;
pid $nginx_dir/nginx.pid;
error_log $nginx_dir/error.log warn;
events {
  worker_connections 1024;
}
http {
  access_log off;
  keepalive_timeout 0;
  client_body_temp_path $nginx_dir/temp/body;
  types {
    application/json json;
  }
  default_type application/octet-stream;
  server {
    listen 127.0.0.1:$port;
    root $nginx_dir/www;
  }
}
EOF
    "$nginx" -p "$nginx_dir" -e "$nginx_dir/error.log" -c "$nginx_dir/nginx.conf" \
      </dev/null >>"$nginx_dir/stdout.log" 2>&1 &
    nginx_pid=$!
    for _ in $(seq 50); do
      if ! kill -0 "$nginx_pid" 2>/dev/null; then break; fi
      if listening "$port"; then
        echo "$port"
        return 0
      fi
      sleep 0.1
    done
    log "nginx did not start on port $port (attempt $attempt):"
    tail -n 5 "$nginx_dir/error.log" "$nginx_dir/stdout.log" >&2 2>/dev/null || true
    stop_nginx
  done
  return 1
}

echo
echo "=== MCP server benchmark ==="
mcp_args=()
# Not in a command substitution: the nginx process must belong to this shell
# so that the exit trap can stop it.
port_file=$(mktemp /tmp/quillmere-bench-port.XXXXXX)
if start_nginx >"$port_file"; then
  nginx_port=$(cat "$port_file")
  log "nginx baseline listening on 127.0.0.1:$nginx_port (pid $nginx_pid)"
  mcp_args+=(--nginx-port "$nginx_port")
else
  log "the nginx baseline could not be started; the MCP benchmark runs without it"
fi
rm -f "$port_file"

./build/release/bench/mcp_bench "${mcp_args[@]}" || status=$?
stop_nginx
exit "$status"
