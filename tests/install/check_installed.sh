#!/usr/bin/env bash
# Builds the Debian package, unpacks it into a throw-away root, validates its desktop
# entry and AppStream file, and runs the installed program there offscreen with a fresh
# home: it must open its window, read its help page and sound from the root's
# share/tesselftp, and write "ftpsvr.dat" into $XDG_DATA_HOME/TesselFTP/ on "Save".
# Usage: check_installed.sh BUILD_DIR PLUGIN_DIR
set -euo pipefail
build=$1
plugins=$2
work=$(mktemp -d)
server_pid=
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/package/tesselftp_*.deb)
dpkg-deb --field "$deb" Depends | grep -q fonts-ipafont-gothic || fail "the package does not pull in the Japanese font"
dpkg-deb --field "$deb" Depends | grep -q libqt6widgets6 || fail "dpkg-shlibdeps found no Qt libraries"
root=$work/root
dpkg -x "$deb" "$root"

desktop-file-validate "$root/usr/share/applications/org.tesselftp.TesselFTP.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$root/usr/share/metainfo/org.tesselftp.TesselFTP.metainfo.xml" || fail "metainfo"
for icon in hicolor/48x48/apps/org.tesselftp.TesselFTP.png hicolor/scalable/apps/org.tesselftp.TesselFTP.svg; do
  [ -s "$root/usr/share/icons/$icon" ] || fail "no icon $icon"
done

# An anonymous FTP server on loopback with one file to download.
mkdir -p "$work/ftp" "$work/home/downloads"
echo "hello from the install check" >"$work/ftp/hello.txt"
/usr/bin/python3 - "$work/ftp" "$work/port" <<'PY' &
import sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer
authorizer = DummyAuthorizer()
authorizer.add_anonymous(sys.argv[1])
FTPHandler.authorizer = authorizer
server = FTPServer(("127.0.0.1", 0), FTPHandler)
with open(sys.argv[2] + ".tmp", "w") as f:
    f.write(str(server.socket.getsockname()[1]))
import os
os.rename(sys.argv[2] + ".tmp", sys.argv[2])
server.serve_forever()
PY
server_pid=$!
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.1; done
[ -s "$work/port" ] || fail "the FTP server did not start"
# ftp://, as the server has no TLS: the bare form would first ask about a login in clear.
server="ftp://127.0.0.1:$(cat "$work/port")"

home=$work/home
status=0
env -i PATH=/usr/bin:/bin HOME="$home" XDG_DATA_HOME="$home/data" XDG_STATE_HOME="$home/state" \
  XDG_RUNTIME_DIR="$home/run" QT_QPA_PLATFORM=offscreen \
  QT_PLUGIN_PATH="$plugins" QT_QPA_GENERIC_PLUGINS=tesselinstallcheck \
  TESSEL_INSTALL_CHECK_REPORT="$home/report" TESSEL_INSTALL_CHECK_SERVER="$server" \
  TESSEL_INSTALL_CHECK_DOWNLOADS="$home/downloads" \
  timeout 120 "$root/usr/bin/tesselftp" >"$work/program.log" 2>&1 || status=$?
echo "--- what the installed program did:"
cat "$home/report" 2>/dev/null || true
[ "$status" -eq 0 ] || { cat "$work/program.log"; fail "the program ended with $status"; }

report() { grep -E "^$1( |$)" "$home/report" | head -1 | cut -s -d' ' -f2-; }
grep -qx "window frmTesselFTP" "$home/report" || fail "no window"
[ "$(report help)" = "$root/usr/share/tesselftp/FtpHelp.htm" ] || fail "help page not from the shared folder"
[ -n "$(report helppage)" ] || fail "the help page showed nothing"
[ "$(report sound)" = "$root/usr/share/tesselftp/PUPU.wav playable" ] || fail "sound not from the shared folder"
user=$home/data/TesselFTP
[ "$(stat -c %a "$user")" = 700 ] || fail "$user is not 0700"
grep -q "$server" "$user/ftpsvr.dat" || fail "\"Save\" wrote no ftpsvr.dat into $user"
[ ! -e "$root/usr/bin/ftpsvr.dat" ] || fail "ftpsvr.dat written beside the installed program"
cmp -s "$work/ftp/hello.txt" "$home/downloads/hello.txt" || fail "the download did not arrive"
echo "install check passed"
