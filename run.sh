#!/usr/bin/env bash
# Installs what is missing, builds and starts Quillet, with a local SMTP server
# to try it on. Without a display it sends one demo letter instead.
set -euo pipefail
cd "$(dirname "$0")"

scripts/deps.sh

# Quillet writes letters in the ANSI code page of the locale; a machine set to
# the C locale has no Cyrillic one, so the Russian program starts in Russian.
case "${LC_ALL:-${LC_CTYPE:-${LANG:-C}}}" in
  C | C.* | POSIX) export LANG=ru_RU.UTF-8 LC_ALL= LC_CTYPE= ;;
esac
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target quillet quillet-send

# The local server: any login is accepted, every letter printed to its log.
log="$(mktemp -t quillet-smtp.XXXXXX.log)"
/usr/bin/python3 scripts/local-smtp.py >"$log" 2>&1 &
server=$!
trap 'kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true' EXIT
port=""
for _ in $(seq 50); do
  port="$(sed -n 's/^PORT //p' "$log")"
  [ -n "$port" ] && break
  sleep 0.1
done
if [ -z "$port" ]; then
  echo "The local SMTP server did not start:" >&2
  cat "$log" >&2
  exit 1
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display here, so the window cannot open. Sending a demo letter with quillet-send"
  echo "to the local SMTP server at 127.0.0.1:$port instead."
  printf 'Здравствуйте!\nЭто письмо отправлено программой Quillet.\n.\nКонец.\n' |
    QUILLET_PASSWORD=secret build/bin/quillet-send --server 127.0.0.1 --port "$port" \
      --login demo --from "Квиллет <quillet@example.com>" --to "reader@example.com" \
      --subject "Привет от Quillet" --verbose
  sleep 0.5
  echo
  echo "What the server received:"
  sed '/^PORT /d' "$log"
  exit 0
fi

cat <<MSG
A local SMTP server for trying Quillet runs while the window is open:
  Сервер: 127.0.0.1    Порт: $port    Логин and Пароль: anything
Letters it receives are printed in $log
MSG
tail -n +2 -f "$log" &
tailer=$!
trap 'kill "$tailer" "$server" 2>/dev/null || true; wait 2>/dev/null || true' EXIT
build/bin/quillet "$@"
