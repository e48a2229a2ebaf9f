#!/bin/sh
# Stops the Wine server of a test prefix.   stop.sh <prefix> [uid]
prefix=$1
uid=${2:-}
[ "$(id -u)" = 0 ] || uid=
[ -d "$prefix" ] || exit 0
if [ -n "$uid" ]; then
    setpriv --reuid="$uid" --regid="$uid" --clear-groups env WINEPREFIX="$prefix" wineserver -k 2>/dev/null
else
    WINEPREFIX="$prefix" wineserver -k 2>/dev/null
fi
exit 0
