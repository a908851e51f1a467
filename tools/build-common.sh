# shellcheck shell=bash
# Shared by demo.sh and test.sh: the Debian packages the project needs, their
# installation, and the release build into build/. Source it; it defines
# functions only. Each function prints little and returns non-zero on failure.

# Everything the build, the data generator, the tests and the fuzzers need.
QUELM_PACKAGES=(
    g++ make cmake pkg-config
    freeglut3-dev libglu1-mesa-dev libgl1-mesa-dri
    libsdl2-dev libsdl2-mixer-dev
    libmp3lame-dev libfreetype-dev fonts-dejavu-core
    libgtest-dev libgmock-dev libbenchmark-dev
    xfonts-75dpi appstream xz-utils
    xvfb xauth xfonts-base xdotool x11-utils x11-apps imagemagick sox
    clang libclang-rt-14-dev
    lib3ds-dev libassimp-dev libstb-dev
    libpng-dev dpkg-dev desktop-file-utils man-db lintian
    libavcodec-dev libavformat-dev libswscale-dev libswresample-dev libavutil-dev libegl-dev
    openbox wmctrl pulseaudio pulseaudio-utils ffmpeg
)

QUELM_JOBS="${QUELM_JOBS:-$(nproc 2>/dev/null || echo 2)}"

say() { echo "[$(basename "$0")] $*"; }

# Installs the packages of QUELM_PACKAGES that are missing (nothing to do,
# nothing printed, when all are there).
ensure_packages() {
    if ! command -v dpkg-query >/dev/null; then
        say "not a Debian system: make sure these are installed: ${QUELM_PACKAGES[*]}"
        return 0
    fi
    local installed missing=() p
    installed="$(dpkg-query -W -f='${Package} ${Status}\n' "${QUELM_PACKAGES[@]}" 2>/dev/null |
        awk '$NF == "installed" && $(NF-1) == "ok" { print $1 }')"
    for p in "${QUELM_PACKAGES[@]}"; do
        grep -qx -- "$p" <<<"$installed" || missing+=("$p")
    done
    ((${#missing[@]} == 0)) && return 0

    local sudo=()
    if [ "$(id -u)" != 0 ]; then
        command -v sudo >/dev/null || { say "not root and no sudo: install them as root first: ${missing[*]}"; return 1; }
        sudo=(sudo)
    fi
    # One line per step; apt's own output goes to the log, shown on failure.
    local log="${QUELM_APT_LOG:-build/apt.log}"
    mkdir -p "$(dirname "$log")" && : >"$log" || log=/dev/null
    apt_step "updating the package lists" "$log" \
        "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q || return 1
    local count="${#missing[@]} packages"
    ((${#missing[@]} == 1)) && count="1 package"
    apt_step "installing $count: ${missing[*]}" "$log" \
        "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# Prints "WHAT ... done" or "WHAT ... failed" and the end of LOG, to which
# the command's output is appended.
apt_step() {
    local what="$1" log="$2"
    shift 2
    printf '[%s] %s ... ' "$(basename "$0")" "$what"
    if "$@" </dev/null >>"$log" 2>&1; then
        echo done
        return 0
    fi
    echo failed
    say "last lines of $log:"
    tail -n 40 "$log"
    return 1
}

# Runs "$@" with its output in LOG; on failure shows the end of LOG.
run_logged() {
    local log="$1"
    shift
    if "$@" >"$log" 2>&1; then return 0; fi
    say "failed: $* (last lines of $log follow)"
    tail -n 60 "$log"
    return 1
}

# Configures (once) and builds DIR with extra cmake arguments; the default
# target of a release build includes the generated data in DIR/data.
build_tree() {
    local dir="$1"
    shift
    mkdir -p "$dir"
    # Configure on first use, and again when an option is not yet in the cache
    # with the value asked for (cmake re-runs itself for changed CMakeLists).
    local configure=0 option name value
    [ -f "$dir/CMakeCache.txt" ] || configure=1
    for option in "$@"; do
        name="${option#-D}" && name="${name%%=*}" && value="${option#*=}"
        grep -q -x -F -e "$name:BOOL=$value" -e "$name:PATH=$value" -e "$name:STRING=$value" -e "$name:UNINITIALIZED=$value" \
            "$dir/CMakeCache.txt" 2>/dev/null || configure=1
    done
    if ((configure)); then
        run_logged "$dir/configure.log" cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release "$@" || return 1
    fi
    run_logged "$dir/build.log" cmake --build "$dir" -j "$QUELM_JOBS"
}

build_release() { build_tree build; }
