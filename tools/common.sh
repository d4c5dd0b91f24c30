# Shared by tools/run and tools/test: the Debian packages the project needs, installing the
# missing ones, configuring and building, and running a command in a virtual X server.
# Source it from the repository root.

# Everything to build the viewer and every test, and to run them without a display.
PACKAGES=(
    g++ clang cmake make pkg-config                      # compilers and build
    freeglut3-dev libglu1-mesa-dev libgl1-mesa-dri       # GLUT, GLU, Mesa's software renderer
    libabsl-dev                                          # small containers in the core
    libfreetype-dev fonts-dejavu-core                    # the title picture
    libgtest-dev libgmock-dev libbenchmark-dev           # tests and benchmarks
    libosd-dev                                           # OpenSubdiv, a reference in the tests
    xvfb xauth libx11-dev libxtst-dev libpng-dev         # virtual display, end-to-end harness
)

# The X server screen the viewer's 1024 x 768 window fits on.
XVFB_SCREEN="-screen 0 1280x1024x24"

log() { printf '\n==> %s\n' "$*"; }
die() { printf 'error: %s\n' "$*" >&2; exit 1; }

# Installs the packages in PACKAGES that are not installed yet, as root or through sudo.
ensure_packages() {
    local missing=() package
    for package in "${PACKAGES[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$package")
        fi
    done
    if ((${#missing[@]} == 0)); then
        return 0
    fi
    log "Installing ${missing[*]}"
    local run=()
    if ((EUID != 0)); then
        command -v sudo >/dev/null || die "need root or sudo to install: ${missing[*]}"
        run=(sudo)
    fi
    "${run[@]}" apt-get update -q
    DEBIAN_FRONTEND=noninteractive "${run[@]}" apt-get install -y -q --no-install-recommends \
        "${missing[@]}"
}

# configure_and_build DIR [CMAKE_ARGS...] [-- TARGETS...]: configures DIR (once, then keeps its
# cache) and builds the given targets, or all, with two jobs.
configure_and_build() {
    local dir=$1
    shift
    local args=() targets=()
    while (($#)) && [[ $1 != -- ]]; do
        args+=("$1")
        shift
    done
    if (($#)); then
        shift
        targets=("$@")
    fi
    cmake -S . -B "$dir" "${args[@]}" >/dev/null
    if ((${#targets[@]})); then
        cmake --build "$dir" -j 2 --target "${targets[@]}"
    else
        cmake --build "$dir" -j 2
    fi
}

# Runs a command in a fresh virtual X server with Mesa's software renderer; the server ends
# with the command.
in_xvfb() {
    LIBGL_ALWAYS_SOFTWARE=1 xvfb-run -a -s "$XVFB_SCREEN" "$@"
}
