#!/usr/bin/env bash
# Can this machine run the 32-bit product under Wine? Exit 0 when it can;
# otherwise print why on one line and exit 1.
#   probe-32bit.sh kernel   only whether the kernel executes 32-bit programs
#   probe-32bit.sh          also whether an installed 32-bit Wine starts
# Some kernels lack IA-32 emulation: every 32-bit program, the 32-bit Wine
# loader included, fails there with "Exec format error".
set -uo pipefail
what=${1:-wine}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

# The smallest 32-bit program: exit(0) through int 0x80.
/usr/bin/python3 - "$dir/probe" <<'PY'
import struct, sys
code = bytes.fromhex("b801000000" "31db" "cd80")      # mov eax,1; xor ebx,ebx; int 0x80
base, start = 0x08048000, 52 + 32
header = struct.pack("<4s5B7x2H5I6H", b"\x7fELF", 1, 1, 1, 0, 0, 2, 3, 1, base + start, 52, 0, 0,
                     52, 32, 1, 0, 0, 0)
segment = struct.pack("<8I", 1, 0, base, base, start + len(code), start + len(code), 5, 0x1000)
with open(sys.argv[1], "wb") as f:
    f.write(header + segment + code)
PY
chmod +x "$dir/probe"
if ! "$dir/probe" 2>/dev/null; then
    echo "32-bit suite skipped: this kernel cannot execute 32-bit programs (no IA-32 emulation), so 32-bit Wine cannot start"
    exit 1
fi
[ "$what" = kernel ] && exit 0

if [ ! -x /usr/lib/wine/wine ]; then
    echo "32-bit suite skipped: 32-bit Wine (wine32:i386) is not installed"
    exit 1
fi
if ! WINEPREFIX="$dir/prefix" WINEARCH=win32 WINEDEBUG=-all timeout 120 /usr/lib/wine/wine cmd /c exit \
        >/dev/null 2>&1 </dev/null; then
    WINEPREFIX="$dir/prefix" wineserver -k 2>/dev/null
    echo "32-bit suite skipped: 32-bit Wine is installed but does not start"
    exit 1
fi
WINEPREFIX="$dir/prefix" wineserver -k 2>/dev/null
WINEPREFIX="$dir/prefix" wineserver -w 2>/dev/null
exit 0
