# Shared by the project's scripts: installing Debian packages that are missing,
# and a virtual display for tests on machines without one.

KC_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# Packages the tool needs to build and run on Linux.
KC_BUILD_PACKAGES=(cmake ninja-build g++ pkg-config libgtk-3-dev libsdl2-dev libgtest-dev fonts-noto-cjk)
# And what its tests need besides.
KC_TEST_PACKAGES=(xvfb xauth xdotool x11-utils imagemagick python3 libx11-dev)

kc_missing_packages() {
    local p missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    echo "${missing[@]}"
}

# Installs the named Debian packages that are not installed yet.
kc_ensure_packages() {
    local missing
    missing="$(kc_missing_packages "$@")"
    [ -z "$missing" ] && return 0
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        if command -v sudo >/dev/null 2>&1; then
            sudo="sudo"
        else
            echo "keyconfig: these Debian packages are missing and I am not root to install them: $missing" >&2
            return 1
        fi
    fi
    echo "keyconfig: installing $missing" >&2
    $sudo apt-get update -qq >&2 || { echo "keyconfig: apt-get update failed" >&2; return 1; }
    # shellcheck disable=SC2086
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing >&2 ||
        { echo "keyconfig: could not install $missing" >&2; return 1; }
}

# Starts Xvfb on a free display when there is no display, and exports DISPLAY.
# The server ends with the calling script.
kc_ensure_display() {
    [ -n "${DISPLAY:-}" ] && return 0
    local n
    for n in $(seq 90 140); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break
    done
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    KC_XVFB_PID=$!
    trap 'kill "$KC_XVFB_PID" 2>/dev/null' EXIT
    local i
    for i in $(seq 1 100); do
        [ -e "/tmp/.X11-unix/X$n" ] && break
        sleep 0.1
    done
    if [ ! -e "/tmp/.X11-unix/X$n" ]; then
        echo "keyconfig: Xvfb did not start on :$n" >&2
        return 1
    fi
    export DISPLAY=":$n"
}

# Configures and builds the Linux tree in build/.
kc_build_linux() {
    cmake --preset linux -S "$KC_ROOT" >/dev/null || return 1
    cmake --build --preset linux "$@"
}
