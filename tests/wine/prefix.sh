#!/bin/sh
# Makes (once) and starts a Wine prefix for the tests: 32-bit, with the null graphics driver
# (a message box is then a modal window the launcher can answer, with no wait for a display)
# and relay logging, when asked for, limited to MessageBoxA. With a user id, the prefix is
# that user's own (Wine runs only in a prefix of its user).
#   prefix.sh <prefix> [uid]
set -eu
prefix=$1
uid=${2:-}
[ "$(id -u)" = 0 ] || uid=
home=$(dirname "$prefix")
mkdir -p "$prefix"
if [ -n "$uid" ]; then
    chown "$uid:$uid" "$home" "$prefix"
    as_user="setpriv --reuid=$uid --regid=$uid --clear-groups"
else
    as_user=
fi
run() {
    $as_user env HOME="$home" WINEPREFIX="$prefix" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" "$@"
}
run wineboot -i >/dev/null 2>&1 </dev/null
run wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1 </dev/null
run wine reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /d user32.MessageBoxA /f >/dev/null 2>&1 </dev/null
# Restart the server so that the desktop comes up again with the null driver; a server that
# stays up makes each run take a tenth of a second.
# Nothing it starts may hold the test runner's output open.
run wineserver -k >/dev/null 2>&1 || true
run wineserver -w >/dev/null 2>&1 || true
run wineserver -p >/dev/null 2>&1 </dev/null
run wine cmd /c exit >/dev/null 2>&1 </dev/null
echo "wine prefix ready: $prefix"
