#!/bin/sh
# Runs the Wayland checks of screen_e2e (its Wayland* tests) under sway's
# headless backend, screenshots by grim. sway refuses to run as root: run as
# root, this makes (once) and uses an unprivileged user, "vellumine-e2e".
# Fails, never skips, when sway, swaymsg or grim are missing
# (src/hosts/desktop/deps lists them).
#
#   wayland_e2e.sh PATH/TO/vellumine_screen_e2e [gtest arguments]
set -eu
test_binary=$1
shift
for program in sway swaymsg grim; do
  if ! command -v "$program" >/dev/null 2>&1; then
    echo "wayland_e2e: $program is missing (install the packages in src/hosts/desktop/deps)" >&2
    exit 1
  fi
done

run_as=""
if [ "$(id -u)" -eq 0 ]; then
  user=vellumine-e2e
  if ! id "$user" >/dev/null 2>&1; then
    useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$user"
  fi
  run_as="runuser -u $user --"
fi

scratch=$(mktemp -d /tmp/vellumine-wayland-XXXXXX)
cleanup() {
  status=$?
  trap - EXIT INT TERM
  # Asked to end rather than killed: runuser answers a signal by passing it
  # on to this shell's whole group.
  if [ -n "${swaysock:-}" ]; then
    $run_as env -i PATH="$PATH" SWAYSOCK="$swaysock" swaymsg exit >/dev/null 2>&1 || true
  fi
  [ -n "${sway_pid:-}" ] && wait "$sway_pid" 2>/dev/null
  rm -rf "$scratch"
  exit "$status"
}
trap cleanup EXIT INT TERM
runtime="$scratch/runtime"
mkdir -m 0700 "$runtime"
mkdir "$scratch/home"
if [ -n "$run_as" ]; then
  chown "$user" "$runtime" "$scratch/home"
  chmod 0711 "$scratch"
  # The build and source trees are read by that user. A checkout below a
  # private folder (root's home, say) gets that one user the right to pass
  # through its parent folders, and nothing more.
  if ! $run_as test -x "$test_binary" && command -v setfacl >/dev/null 2>&1; then
    dir=$(cd "$(dirname "$test_binary")" && pwd -P)
    while [ "$dir" != / ]; do
      $run_as test -x "$dir" || setfacl -m "u:$user:x" "$dir"
      dir=$(dirname "$dir")
    done
  fi
  if ! $run_as test -x "$test_binary"; then
    echo "wayland_e2e: $user can't run $test_binary: make the build tree readable" >&2
    exit 1
  fi
fi

cat >"$scratch/sway.conf" <<'CONF'
xwayland disable
output HEADLESS-1 mode 1280x800 position 0 0
for_window [title="^probe$"] floating enable, move position 200 150
CONF
chmod 0644 "$scratch/sway.conf"

$run_as env -i PATH="$PATH" HOME="$scratch/home" XDG_RUNTIME_DIR="$runtime" \
  WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
  sway --config "$scratch/sway.conf" >"$scratch/sway.log" 2>&1 &
sway_pid=$!
display=""
for _ in $(seq 100); do
  for socket in "$runtime"/wayland-*; do
    case "$socket" in *.lock | *"*") ;; *) display=$(basename "$socket") ;; esac
  done
  swaysock=$(ls "$runtime"/sway-ipc.*.sock 2>/dev/null | head -n 1 || true)
  [ -n "$display" ] && [ -n "$swaysock" ] && break
  sleep 0.1
done
if [ -z "$display" ] || [ -z "$swaysock" ]; then
  echo "wayland_e2e: sway did not start" >&2
  cat "$scratch/sway.log" >&2
  exit 1
fi

status=0
$run_as env -i PATH="$PATH" HOME="$scratch/home" XDG_RUNTIME_DIR="$runtime" \
  WAYLAND_DISPLAY="$display" SWAYSOCK="$swaysock" GDK_BACKEND=wayland \
  LANG="${LANG:-C.UTF-8}" "$test_binary" --gtest_filter='Wayland*' "$@" || status=$?
if [ "$status" -ne 0 ]; then
  echo "--- sway's log" >&2
  tail -n 40 "$scratch/sway.log" >&2
fi
exit "$status"
