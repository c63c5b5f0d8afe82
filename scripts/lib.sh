# Shared by the project's scripts: build, a display, a fresh Wine prefix seeded
# with the fake machine, and cleanup of what we started. Source it; do not run it.

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir="${QX_BUILD_DIR:-$repo/build}"
wine_run="$repo/scripts/wine-run"
started_pids=()

log() { printf '%s: %s\n' "$(basename "$0")" "$*" >&2; }

qx_build() {
    cmake --preset mingw -S "$repo" -B "$build_dir" >/dev/null
    cmake --build "$build_dir" -j2 -- --no-print-directory -s
}

# Starts Xvfb when there is no display; the display stays up until qx_cleanup.
qx_ensure_display() {
    if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return; fi
    local n
    for n in $(seq 90 120); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break
    done
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    started_pids+=($!)
    export DISPLAY=":$n"
    local i
    for i in $(seq 50); do xdpyinfo >/dev/null 2>&1 && return; sleep 0.1; done
    log "Xvfb did not start on $DISPLAY"
    return 1
}

# Writes a UTF-8 .reg source as the UTF-16LE file with BOM that `reg import` reads.
qx_utf16_reg() {
    { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE "$1"; } >"$2"
}

qx_reg_import() {
    local tmp
    tmp=$(mktemp --suffix=.reg)
    qx_utf16_reg "$1" "$tmp"
    "$wine_run" reg import "$(winepath_of "$tmp")" >/dev/null 2>&1
    rm -f "$tmp"
}

winepath_of() { printf 'Z:%s' "$(printf '%s' "$1" | tr / '\\')"; }

# A fresh prefix at $QX_WINEPREFIX: Windows 10, Japanese fonts, a virtual
# desktop, the fake machine, and a warm wineserver.
qx_prepare_prefix() {
    export QX_WINEPREFIX
    QX_WINE_TOOL=wineserver "$wine_run" -k 2>/dev/null || true
    rm -rf "$QX_WINEPREFIX"
    mkdir -p "$(dirname "$QX_WINEPREFIX")"
    "$wine_run" wineboot -i >/dev/null 2>&1
    QX_WINE_TOOL=wineserver "$wine_run" -w
    "$wine_run" winecfg -v win10 >/dev/null 2>&1
    cp /usr/share/wine/fonts/marlett.ttf "$QX_WINEPREFIX/drive_c/windows/Fonts/"
    qx_reg_import "$repo/tests/machine/wine-settings.reg"
    "$repo/tests/machine/seed" "$QX_WINEPREFIX"
    # The desktop settings take effect with a new server.
    QX_WINE_TOOL=wineserver "$wine_run" -k 2>/dev/null || true
    QX_WINE_TOOL=wineserver "$wine_run" -p </dev/null >/dev/null 2>&1
    "$wine_run" cmd /c exit </dev/null >/dev/null 2>&1
}

qx_cleanup() {
    if [ -n "${QX_WINEPREFIX:-}" ] && [ -d "$QX_WINEPREFIX" ]; then
        QX_WINE_TOOL=wineserver "$wine_run" -k 2>/dev/null || true
    fi
    local pid
    for pid in "${started_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${started_pids[@]}"; do wait "$pid" 2>/dev/null || true; done
}
