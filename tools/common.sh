# Shared by tools/run and tools/test: the Debian packages the project needs, installing the
# missing ones, configuring and building, and running a command in a virtual X server.
# Source it from the repository root.

# What the g++ build in build/ and its tests need, and the formatting check (tools/test quick).
BUILD_PACKAGES=(
    g++ cmake make pkg-config git                        # compiler and build
    clang-format                                         # formatting
    freeglut3-dev libglu1-mesa-dev libgl1-mesa-dri       # GLUT, GLU, Mesa's software renderer
    libabsl-dev                                          # small containers in the core
    libfreetype-dev fonts-dejavu-core                    # the title picture
    libgtest-dev libgmock-dev libbenchmark-dev           # tests and benchmarks
    libosd-dev                                           # OpenSubdiv, a reference in the tests
    nodejs                                               # the page's lint (ESLint)
    xvfb libx11-dev libxtst-dev libpng-dev               # virtual display, end-to-end harness
)
# npm comes with Debian's nodejs as a package of its own, and within other builds of node.
if ! command -v npm >/dev/null; then
    BUILD_PACKAGES+=(npm)
fi

# Everything to build the viewer and every test, and to run them without a display.
PACKAGES=(
    "${BUILD_PACKAGES[@]}"
    clang libclang-rt-14-dev                             # clang, its sanitizer and fuzzer runtimes
    clang-tidy                                           # static checks
    dpkg-dev lintian desktop-file-utils groff-base       # the Debian package and its checks
    appstream appstream-compose                          # its AppStream metadata checks
    emscripten libboost-dev zopfli pngquant              # the web build
    chromium firefox-esr webkit2gtk-driver               # its browser tests (WebKit: MiniBrowser)
)

# The X server screen the viewer's 1024 x 768 window fits on. -noreset: by default the server
# resets whenever its last client leaves, and refuses connections while it does, which tests
# that start one after another (or two at a time) would run into.
XVFB_ARGS=(-screen 0 1280x1024x24 -nolisten tcp -noreset)

log() { printf '\n==> %s\n' "$*"; }
die() { printf 'error: %s\n' "$*" >&2; exit 1; }

# missing_packages PACKAGE...: prints those of the named Debian packages that are not installed,
# one a line.
missing_packages() {
    local package
    for package in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
            printf '%s\n' "$package"
        fi
    done
}

# Installs the packages in PACKAGES that are not installed yet, as root or through sudo.
ensure_packages() {
    local missing=()
    mapfile -t missing < <(missing_packages "${PACKAGES[@]}")
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

# run_lintian ARGS...: lintian with a temporary folder of its own, removed after: lintian leaves
# its index of ELF files (mldbm-elf-*) there.
run_lintian() {
    local dir status=0
    dir=$(mktemp -d)
    TMPDIR=$dir lintian "$@" || status=$?
    rm -rf "$dir"
    return "$status"
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

# The node packages of the page's lint and of the browser tests and benchmark, as the lock file
# has them, in web/node_modules. No browser is downloaded: the tests drive Debian's Chromium,
# Firefox and WebKit.
install_node_packages() {
    if [[ ! -f web/node_modules/.package-lock.json ||
        web/package-lock.json -nt web/node_modules/.package-lock.json ]]; then
        log "Node packages of the page's lint and tests (web/node_modules)"
        (cd web && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund)
    fi
}

# ESLint's recommended rules over the page's scripts and its tests (web/eslint.config.mjs).
lint_page() {
    install_node_packages
    log "Lint (ESLint) of web/ and web/test/"
    (cd web && npx --no-install eslint --max-warnings 0 .)
}

# Runs a command in a fresh virtual X server with Mesa's software renderer and returns its exit
# status. The server is ended (by its process id) when the command ends or the script is stopped.
in_xvfb() {
    local number_file display="" pid status=0
    number_file=$(mktemp)
    # -displayfd: the server picks a free display and writes its number once it is ready.
    Xvfb -displayfd 3 "${XVFB_ARGS[@]}" 3>"$number_file" 2>/dev/null &
    pid=$!
    trap "kill $pid 2>/dev/null; rm -f '$number_file'" EXIT
    trap "kill $pid 2>/dev/null; exit 130" INT TERM
    for _ in $(seq 300); do
        display=$(head -n 1 "$number_file")
        if [[ -n $display ]] || ! kill -0 "$pid" 2>/dev/null; then
            break
        fi
        sleep 0.1
    done
    rm -f "$number_file"
    if [[ -z $display ]]; then
        kill "$pid" 2>/dev/null || true
        trap - EXIT INT TERM
        die "Xvfb did not start"
    fi
    DISPLAY=":$display" LIBGL_ALWAYS_SOFTWARE=1 "$@" || status=$?
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    trap - EXIT INT TERM
    return "$status"
}
