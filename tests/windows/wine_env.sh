# Sourced by the Windows tests: the Wine of this machine, quiet, without the prompts for
# the .NET and HTML engines, on the prefix in the build folder ($1).
wine_root=$1
export WINEPREFIX=$wine_root/prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# No display: a driver message box (MessageBoxA) under one would wait for a click, and
# without one Wine returns from it at once, so the cases of the failure paths run through.
unset DISPLAY WAYLAND_DISPLAY
WINE=$(command -v wine64 || echo /usr/lib/wine/wine64)
WINESERVER=$(command -v wineserver || echo /usr/lib/wine/wineserver)
# The ports the cases use: COMn is the link $wine_root/comn to a virtual device's pty.
WINE_PORTS="1 2"
