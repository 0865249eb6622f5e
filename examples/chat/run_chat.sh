#!/usr/bin/env bash
# Runs a host and two clients of the chat on 127.0.0.1 without a terminal and checks what each
# one received. Usage: run_chat.sh PATH-TO-CHAT [PORT]
set -euo pipefail
chat=$1
port=${2:-27213}
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT

start() {  # name, arguments...
  local name=$1; shift
  mkfifo "$work/$name.in"
  "$chat" "$@" < "$work/$name.in" > "$work/$name.out" 2>&1 &
  exec {fd}> "$work/$name.in"
  eval "${name}_in=$fd"
}
wait_for() {  # name, text: up to 10 s
  for _ in $(seq 200); do grep -qF -- "$2" "$work/$1.out" && return 0; sleep 0.05; done
  echo "FAIL: $1 never printed '$2'"; cat "$work/$1.out"; exit 1
}
say() { local fd=${1}_in; echo "$2" >&"${!fd}"; }

start host host "$port" Hal
wait_for host "joined as 101"
start ann join 127.0.0.1 "$port" Ann
wait_for ann "joined as"
start bob join 127.0.0.1 "$port" Bob
wait_for bob "joined as"
ann_id=$(sed -n 's/^joined as //p' "$work/ann.out")
bob_id=$(sed -n 's/^joined as //p' "$work/bob.out")

say host "hello everyone"
for who in host ann bob; do wait_for "$who" "<101 Hal> hello everyone"; done
say ann "/to $bob_id psst bob"
wait_for bob "<$ann_id Ann> psst bob"
say ann "$(printf 'two lines\n/to %s in one write' "$bob_id")"
wait_for bob "<$ann_id Ann> in one write"
say bob "/list"
wait_for bob "players: 3"
wait_for bob "  $ann_id Ann"
for who in bob ann host; do say "$who" "/quit"; wait_for "$who" "bye"; done
if grep -q "psst" "$work/host.out" "$work/ann.out"; then echo "FAIL: a private line leaked"; exit 1; fi
echo "chat: host and two clients exchanged every line"
