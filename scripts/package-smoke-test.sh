#!/usr/bin/env bash
# Smoke test of the Debian package: builds it, checks it with the validators and lintian,
# installs it into this machine with dpkg -i, starts the installed program on a virtual X display,
# finds its window by its caption, takes a screenshot, closes the program and removes the
# package again. Every wait is bounded, and whatever happens the program, the display and the
# package are gone when the script ends.
#
#   scripts/package-smoke-test.sh [SCREENSHOT.png]     (default docs/installed-main-window.png)
#
# Needs root or sudo (apt-get, dpkg -i). KAVELO_PACKAGE_BUILD_DIR (default build-package) is
# the build folder, KAVELO_JOBS (default 2) the number of compile jobs.
set -Eeuo pipefail
cd "$(dirname "$0")/.."
source_dir=$(pwd)

build_dir="${KAVELO_PACKAGE_BUILD_DIR:-build-package}"
jobs="${KAVELO_JOBS:-2}"
screenshot="${1:-docs/installed-main-window.png}"
package=kavelo-update-tool
program=/usr/bin/kavelo-update-tool
caption="Orvo Kavelo Update Tool"
app_id=org.orvo.KaveloUpdateTool
version=$(sed -n 's/^project(KaveloUpdateTool VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"

step="starting"
installed_by_us=0
app_pid=""
xvfb_pid=""
work=$(mktemp -d /tmp/kavelo-package-test.XXXXXX)

say() { printf '== %s\n' "$*"; }
begin() { step="$*"; say "$step"; }

stop_process() { # pid, seconds to wait after TERM before KILL
  local pid=$1 grace=$2
  kill -0 "$pid" 2>/dev/null || return 0
  kill -TERM "$pid" 2>/dev/null || true
  for _ in $(seq $((grace * 10))); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

# dpkg refuses to run while another apt or dpkg holds its lock; wait for it a bounded time.
dpkg_with_lock_wait() {
  local deadline=$((SECONDS + 300)) log="$work/dpkg.log"
  while :; do
    if $SUDO dpkg "$@" >"$log" 2>&1; then cat "$log"; return 0; fi
    if grep -q "lock" "$log" && [ $SECONDS -lt $deadline ]; then sleep 3; continue; fi
    cat "$log"
    return 1
  done
}

apt_get() {
  DEBIAN_FRONTEND=noninteractive timeout 900 $SUDO apt-get -o DPkg::Lock::Timeout=300 "$@"
}

finish() {
  local rc=$?
  trap - EXIT
  set +e
  [ -n "$app_pid" ] && stop_process "$app_pid" 5
  [ -n "$xvfb_pid" ] && stop_process "$xvfb_pid" 5
  if [ "$installed_by_us" -eq 1 ]; then
    say "removing the package"
    dpkg_with_lock_wait --purge "$package" >/dev/null || echo "could not remove $package" >&2
  fi
  rm -rf "$work"
  if [ "$rc" -eq 0 ]; then
    echo "PASS: package $package $version built, validated, installed, started, shown as" \
      "\"$caption\", screenshot $screenshot, closed and removed"
  else
    echo "FAIL: $step"
  fi
  exit "$rc"
}
trap finish EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

fail() { echo "error: $*" >&2; exit 1; }

begin "installing the tools"
bash scripts/install-deps.sh
tools=(dpkg-dev file lintian desktop-file-utils appstream xvfb x11-utils xdotool imagemagick man-db)
missing=()
for p in "${tools[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  apt_get update -qq
  apt_get install -y -qq "${missing[@]}"
fi

if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
  fail "$package is installed already; this test installs and removes it, so remove it first"
fi

begin "configuring a Release build in $build_dir"
# Debian's hardening flags (stack protector, fortify, relro), as a Debian build would use them.
timeout 300 cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DKAVELO_BUILD_TESTS=OFF -DKAVELO_BUILD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS) -Wl,-z,now" >/dev/null

begin "building"
timeout 3600 cmake --build "$build_dir" -j "$jobs"

begin "building the Debian package"
rm -rf "$build_dir/packages"
(cd "$build_dir" && timeout 900 cpack -G DEB -B "$source_dir/$build_dir/packages")
debs=("$build_dir"/packages/"$package"_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one .deb in $build_dir/packages"
deb="${debs[0]}"
dpkg-deb --info "$deb"
dpkg-deb --contents "$deb"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version is not $version"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6core6 libqt6gui6 libqt6widgets6 qt6-translations-l10n; do
  grep -q "\b$lib\b" <<<"$depends" || fail "$lib is missing from Depends: $depends"
done

begin "validating the desktop entry and the metainfo as packaged"
mkdir -p "$work/root"
dpkg-deb -x "$deb" "$work/root"
desktop-file-validate "$work/root/usr/share/applications/$app_id.desktop"
echo "desktop-file-validate: no findings"
timeout 120 appstreamcli validate --no-net --explain "$work/root/usr/share/metainfo/$app_id.metainfo.xml"
timeout 120 appstreamcli validate-tree --no-net "$work/root"
for size in 16 24 32 48 64 128 256; do
  icon="$work/root/usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png"
  identify -format '%w %h\n' "$icon" | grep -qx "$size $size" || fail "icon $icon is not ${size}x${size}"
done

begin "running lintian"
# lintian says so when it is run as root; its findings are the same.
timeout 600 lintian --display-info --pedantic --fail-on error "$deb" | tee "$work/lintian.txt"
[ -s "$work/lintian.txt" ] || echo "lintian: no findings"

begin "installing the package with dpkg -i"
installed_by_us=1
if ! dpkg_with_lock_wait -i "$deb"; then
  say "installing the missing dependencies"
  apt_get install -f -y -qq
fi
dpkg-query -W -f='${Status}\n' "$package" | grep -q "install ok installed" || fail "$package did not install"
[ -x "$program" ] || fail "$program is missing"
[ -x /usr/bin/kavelo-sim ] || fail "/usr/bin/kavelo-sim is missing"
timeout 10 /usr/bin/kavelo-sim --help >/dev/null
[ -x /usr/bin/kavelo-cli ] || fail "/usr/bin/kavelo-cli is missing"
timeout 10 /usr/bin/kavelo-cli --help >/dev/null
desktop_file=/usr/share/applications/$app_id.desktop
exec_line=$(sed -n 's/^Exec=//p' "$desktop_file")
[ "$(command -v "${exec_line%% *}")" = "$program" ] || fail "the menu entry does not start $program"
timeout 30 man -l /usr/share/man/man1/kavelo-sim.1.gz >/dev/null
timeout 30 man -l /usr/share/man/man1/kavelo-cli.1.gz >/dev/null

begin "starting a virtual X display"
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -dpi 96 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-
deadline=$((SECONDS + 20))
until [ -s "$work/display" ]; do
  kill -0 "$xvfb_pid" 2>/dev/null || { cat "$work/xvfb.log"; fail "Xvfb did not start"; }
  [ $SECONDS -lt $deadline ] || fail "Xvfb did not report a display in time"
  sleep 0.1
done
export DISPLAY=":$(head -n1 "$work/display")"
echo "DISPLAY=$DISPLAY"

begin "starting $program"
# A fresh configuration folder: English from the C locale, and the language that the program
# stores at exit stays in the temporary folder.
mkdir -p "$work/config" "$work/runtime"
chmod 700 "$work/runtime"
env -u LANGUAGE LC_ALL=C.UTF-8 LANG=C.UTF-8 XDG_CONFIG_HOME="$work/config" \
  XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=xcb \
  "$program" >"$work/program.log" 2>&1 &
app_pid=$!

begin "finding the window \"$caption\""
window=""
deadline=$((SECONDS + 30))
while [ -z "$window" ]; do
  kill -0 "$app_pid" 2>/dev/null || { cat "$work/program.log"; fail "the program ended by itself"; }
  [ $SECONDS -lt $deadline ] || { cat "$work/program.log"; fail "no window \"$caption\" in time"; }
  window=$(timeout 5 xdotool search --onlyvisible --name "^$caption\$" 2>/dev/null | head -n1 || true)
  [ -n "$window" ] || sleep 0.2
done
echo "window $window: \"$(xdotool getwindowname "$window")\""
[ "$(xdotool getwindowpid "$window")" = "$app_pid" ] || fail "the window belongs to another process"
[ "$(readlink /proc/"$app_pid"/exe)" = "$program" ] || fail "the process is not $program"
timeout 5 xwininfo -id "$window" | grep -E "Width|Height|Map State"

begin "taking a screenshot"
sleep 1 # let the first paint land
timeout 30 import -window "$window" "$work/screenshot.png"
identify "$work/screenshot.png"
mkdir -p "$(dirname "$screenshot")"
cp "$work/screenshot.png" "$screenshot"

begin "closing the program"
# The Close button's accelerator (Alt+O in English) closes the window the way a user does.
timeout 5 xdotool windowfocus --sync "$window" || true
timeout 5 xdotool key --clearmodifiers alt+o || true
closed=0
deadline=$((SECONDS + 10))
while [ $SECONDS -lt $deadline ]; do
  if ! kill -0 "$app_pid" 2>/dev/null; then closed=1; break; fi
  sleep 0.1
done
if [ "$closed" -eq 1 ]; then
  wait "$app_pid" && code=0 || code=$?
  app_pid=""
  echo "the program closed through its Close button (exit code $code)"
  [ "$code" -eq 0 ] || fail "the program ended with exit code $code"
else
  echo "the Close button did not end the program; sending SIGTERM"
  stop_process "$app_pid" 10
  app_pid=""
  fail "the program did not close through its Close button"
fi

begin "removing the package"
dpkg_with_lock_wait --purge "$package"
installed_by_us=0
[ ! -e "$program" ] || fail "$program is still there after the removal"
step="done"
