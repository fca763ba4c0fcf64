#!/usr/bin/env bash
# Delivery benchmark: quillet-send beside curl, msmtp and swaks against a fast
# local SMTP sink (bench/smtp_sink.py on 127.0.0.1, ephemeral port).
#
#   bench/delivery.sh [QUILLET_SEND | BUILD_DIR]
#
# Without an argument quillet-send is configured and built in build/; a
# directory argument builds it there instead, a file argument is used as the
# program itself. Workloads: SMALL_COUNT small letters (default 200), one
# connection and AUTH LOGIN each, and one letter of BIG_MB megabytes (default
# 10). The small letters are sent round-robin across the tools, so a change of
# machine load falls on all of them alike. Prints the time of each tool for each
# workload and its ratio to quillet-send (above 1: slower than quillet-send).
set -euo pipefail

readonly SOURCE_DIR="$(cd "$(dirname "$0")/.." && pwd)"
readonly SMALL_COUNT="${SMALL_COUNT:-200}"
readonly BIG_MB="${BIG_MB:-10}"
readonly TOOLS=(quillet-send curl msmtp swaks)
readonly SENDER="bench@example.org"
readonly RECIPIENT="sink@example.org"
readonly SUBJECT="Delivery benchmark"
readonly LOGIN_USER="u"
readonly LOGIN_PASSWORD="p"

say() { printf '%s\n' "$*"; }
die() { printf 'delivery.sh: %s\n' "$*" >&2; exit 1; }
load_average() { local a b c rest; read -r a b c rest </proc/loadavg; echo "$a $b $c"; }

install_missing_tools() {
  local missing=() tool
  for tool in curl msmtp swaks; do
    command -v "$tool" >/dev/null || missing+=("$tool")
  done
  ((${#missing[@]} == 0)) && return
  say "installing ${missing[*]}"
  local sudo=()
  ((EUID == 0)) || sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
}

find_quillet_send() {
  local given="${1:-}"
  if [[ -n "$given" && -f "$given" ]]; then
    [[ -x "$given" ]] || die "$given is not executable"
    QUILLET_SEND="$(cd "$(dirname "$given")" && pwd)/$(basename "$given")"
    return
  fi
  [[ "$(basename "${given:-build}")" != quillet-send ]] || die "no program $given"
  local build_dir="${given:-$SOURCE_DIR/build}"
  say "building quillet-send in $build_dir"
  cmake -S "$SOURCE_DIR" -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build_dir" --target quillet-send -j"$(nproc)" >/dev/null
  QUILLET_SEND="$build_dir/bin/quillet-send"
}

# Letters: a body file for quillet-send (it writes the header block itself) and
# a whole message in CR LF lines for the tools that upload a prepared message.
make_letters() {
  /usr/bin/python3 - "$WORK" "$BIG_MB" "$SENDER" "$RECIPIENT" "$SUBJECT" <<'EOF'
import sys
work, big_mb, sender, recipient, subject = sys.argv[1], int(sys.argv[2]), *sys.argv[3:]
header = (f"From: {sender}\r\nTo: {recipient}\r\nSubject: {subject}\r\n"
          "Date: Mon, 01 Jan 2024 12:00:00 +0000\r\n"
          "Content-Type: text/plain; charset=us-ascii\r\n\r\n")
def write(name, lines):
    with open(f"{work}/{name}.body", "w", newline="") as f:
        f.write("".join(l + "\n" for l in lines))
    with open(f"{work}/{name}.eml", "w", newline="") as f:
        f.write(header + "".join(l + "\r\n" for l in lines))
write("small", ["Hello,", "", "a short letter for the delivery benchmark.", "", "Regards"])
words = "the quick brown fox jumps over the lazy dog and keeps on running far away".split()
lines, size, n = [], 0, 0
while size < big_mb * 1024 * 1024:
    line = " ".join(words[(n + k) % len(words)] for k in range(12))[:76]
    if n % 1000 == 0:
        line = "." + line  # a leading dot now and then, for the dot doubling
    lines.append(line)
    size += len(line) + 2
    n += 1
write("big", lines)
EOF
}

start_sink() {
  /usr/bin/python3 "$SOURCE_DIR/bench/smtp_sink.py" --log "$WORK/sink.log" --lifetime 1800 \
    >"$WORK/sink.port" 2>"$WORK/sink.err" &
  SINK_PID=$!
  local tries
  for ((tries = 0; tries < 100; ++tries)); do
    PORT="$(head -n1 "$WORK/sink.port" 2>/dev/null || true)"
    [[ -n "$PORT" ]] && break
    sleep 0.1
  done
  [[ -n "$PORT" ]] || die "the sink did not start: $(cat "$WORK/sink.err")"
  cat >"$WORK/msmtprc" <<EOF
defaults
syslog off
account sink
host 127.0.0.1
port $PORT
domain localhost
auth login
user $LOGIN_USER
password $LOGIN_PASSWORD
tls off
from $SENDER
account default : sink
EOF
  chmod 600 "$WORK/msmtprc"
}

cleanup() {
  [[ -n "${SINK_PID:-}" ]] && kill "$SINK_PID" 2>/dev/null && wait "$SINK_PID" 2>/dev/null
  [[ -n "${WORK:-}" ]] && rm -rf "$WORK"
}

# send TOOL KIND: one letter ("small" or "big") by one tool, output discarded.
send() {
  local tool="$1" kind="$2"
  case "$tool" in
    quillet-send)
      QUILLET_PASSWORD="$LOGIN_PASSWORD" "$QUILLET_SEND" --server 127.0.0.1 --port "$PORT" \
        --login "$LOGIN_USER" --from "$SENDER" --to "$RECIPIENT" --subject "$SUBJECT" \
        --body "$WORK/$kind.body" ;;
    curl)
      curl -sS "smtp://127.0.0.1:$PORT/localhost" --mail-from "$SENDER" --mail-rcpt "$RECIPIENT" \
        --upload-file "$WORK/$kind.eml" --user "$LOGIN_USER:$LOGIN_PASSWORD" \
        --login-options AUTH=LOGIN ;;
    msmtp)
      msmtp -C "$WORK/msmtprc" "$RECIPIENT" <"$WORK/$kind.eml" ;;
    swaks)
      swaks --server 127.0.0.1 --port "$PORT" --helo localhost --auth LOGIN \
        --auth-user "$LOGIN_USER" --auth-password "$LOGIN_PASSWORD" \
        --from "$SENDER" --to "$RECIPIENT" --data "@$WORK/$kind.eml" >/dev/null ;;
  esac
}

# Milliseconds of CPU that the script's finished children used so far, read
# from the shell's own counters (no extra process, no subshell).
children_cpu_ms() {
  local line re='([0-9]+)m([0-9]+)\.([0-9]+)s ([0-9]+)m([0-9]+)\.([0-9]+)s'
  times >"$WORK/times"
  { read -r line; read -r line; } <"$WORK/times"
  [[ "$line" =~ $re ]] || die "cannot read the CPU times: $line"
  local -a m=("${BASH_REMATCH[@]}")
  CPU_MS=$(((m[1] * 60 + 10#${m[2]} + m[4] * 60 + 10#${m[5]}) * 1000 + 10#${m[3]} + 10#${m[6]}))
}

# time_send TOOL KIND: runs send, appends "wall_us cpu_ms" to $WORK/TOOL.KIND.
time_send() {
  local start end cpu_before
  children_cpu_ms
  cpu_before=$CPU_MS
  start=${EPOCHREALTIME/./}
  send "$1" "$2" >"$WORK/last.out" 2>&1 || die "$1 failed on a $2 letter: $(cat "$WORK/last.out")"
  end=${EPOCHREALTIME/./}
  children_cpu_ms
  echo "$((end - start)) $((CPU_MS - cpu_before))" >>"$WORK/$1.$2"
}

delivered() { [[ -f "$WORK/sink.log" ]] && wc -l <"$WORK/sink.log" || echo 0; }

run_workloads() {
  local i tool expected
  say "load average before: $(load_average)"
  for ((i = 0; i < SMALL_COUNT; ++i)); do
    for tool in "${TOOLS[@]}"; do time_send "$tool" small; done
  done
  expected=$((SMALL_COUNT * ${#TOOLS[@]}))
  [[ "$(delivered)" -eq "$expected" ]] || die "sink took $(delivered) letters, not $expected"
  say "load average after the small letters: $(load_average)"
  for tool in "${TOOLS[@]}"; do time_send "$tool" big; done
  expected=$((expected + ${#TOOLS[@]}))
  [[ "$(delivered)" -eq "$expected" ]] || die "sink took $(delivered) letters, not $expected"
  say "load average after the big letter: $(load_average)"
}

# The table: wall time in total, median and slowest letter, the tool's own CPU
# time (user + system), and its wall time over quillet-send's (above 1: slower).
report() {
  /usr/bin/python3 - "$WORK" "$SMALL_COUNT" "$BIG_MB" "${TOOLS[@]}" <<'EOF'
import statistics, sys
work, count, big_mb, tools = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:]
print("| workload | tool | wall s | median ms | max ms | CPU s | wall / quillet-send |")
print("|---|---|---:|---:|---:|---:|---:|")
for kind, label in (("small", f"{count} small letters"), ("big", f"1 letter of {big_mb} MB")):
    runs = {t: [line.split() for line in open(f"{work}/{t}.{kind}")] for t in tools}
    wall = {t: [int(w) / 1000 for w, _ in runs[t]] for t in tools}
    base = sum(wall[tools[0]])
    for t in tools:
        cpu = sum(int(c) for _, c in runs[t]) / 1000
        print(f"| {label} | {t} | {sum(wall[t]) / 1000:.2f} | {statistics.median(wall[t]):.1f} "
              f"| {max(wall[t]):.1f} | {cpu:.2f} | {sum(wall[t]) / base:.2f} |")
EOF
}

main() {
  install_missing_tools
  find_quillet_send "${1:-}"
  WORK="$(mktemp -d)"
  trap cleanup EXIT
  make_letters
  start_sink
  say "sink on 127.0.0.1:$PORT; $SMALL_COUNT small letters, 1 letter of $BIG_MB MB; $(nproc) cores"
  run_workloads
  report
}

main "$@"
