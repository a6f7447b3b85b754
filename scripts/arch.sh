# Sourced by the scripts once BUILD is set: which word size of Windows programs this machine's
# Wine runs. Tovik ships as 32-bit programs, and where 32-bit Wine runs the tests run those. A
# kernel with 32-bit emulation switched off runs no 32-bit code at all, but 64-bit Wine still
# works: there the tests run a 64-bit build of the same sources, and the 32-bit deliverables are
# built beside it. TOVIK_ARCH (i686 or x86_64) overrides the probe.
# TOVIK_ARCH_WHY says, for the scripts' own lines, why the 64-bit build is the one that runs.
# A script sourced again from one that already decided keeps the first reason.
if [ "${TOVIK_ARCH:-}" = i686 ]; then
  TOVIK_ARCH_WHY=""
elif [ -n "${TOVIK_ARCH:-}" ]; then
  TOVIK_ARCH_WHY="${TOVIK_ARCH_WHY-TOVIK_ARCH chose $TOVIK_ARCH}"
elif /usr/lib/wine/wine --version >/dev/null 2>&1 </dev/null; then
  TOVIK_ARCH=i686 TOVIK_ARCH_WHY=""
else
  TOVIK_ARCH=x86_64
  if "$(dirname "${BASH_SOURCE[0]}")/runs32"; then TOVIK_ARCH_WHY="32-bit Wine is not installed here"
  else TOVIK_ARCH_WHY="this machine runs no 32-bit code"; fi
fi
export TOVIK_ARCH TOVIK_ARCH_WHY
if [ "$TOVIK_ARCH" = x86_64 ]; then
  TOVIK_WIN_BITS=64
  # wine, wineboot and wineserver as the scripts and CTest call them, of 64-bit Wine.
  # This Wine has no preloader to reserve its fixed addresses before the process starts, so the
  # kernel may put the randomised heap where the shared user data must go (0x7ffe0000); the
  # program then ends at once with code 1, silently (about one start in a thousand here). Without
  # address randomisation the heap stays beside the loader. Child processes inherit the setting.
  TOVIK_WINEBIN="$BUILD/winebin"
  if ! grep -qs setarch "$TOVIK_WINEBIN/wine"; then
    mkdir -p "$TOVIK_WINEBIN"
    printf '#!/bin/sh\nexec setarch -R /usr/lib/wine/wine64 "$@"\n' > "$TOVIK_WINEBIN/wine"
    printf '#!/bin/sh\nexec setarch -R /usr/lib/wine/wine64 wineboot "$@"\n' > "$TOVIK_WINEBIN/wineboot"
    printf '#!/bin/sh\nexec /usr/lib/wine/wineserver64 "$@"\n' > "$TOVIK_WINEBIN/wineserver"
    chmod +x "$TOVIK_WINEBIN"/wine "$TOVIK_WINEBIN"/wineboot "$TOVIK_WINEBIN"/wineserver
  fi
  case ":$PATH:" in *":$TOVIK_WINEBIN:"*) ;; *) export PATH="$TOVIK_WINEBIN:$PATH" ;; esac
  export WINELOADER=/usr/lib/wine/wine64 WINESERVER=/usr/lib/wine/wineserver64
else
  TOVIK_WIN_BITS=32
fi
