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

# The smallest 32-bit program: an ELF header, one loadable segment and
# exit(0) through int 0x80 (mov eax,1; xor ebx,ebx; int 0x80). Written with
# printf alone: on a fresh machine this runs before anything is installed.
printf '\177\105\114\106\001\001\001\000\000\000\000\000\000\000\000\000\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000\000\000\000\000\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010\135\000\000\000\135\000\000\000\005\000\000\000\000\020\000\000\270\001\000\000\000\061\333\315\200' > "$dir/probe"
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
