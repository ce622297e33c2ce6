# Shared by the scripts: install what is missing, and nothing else.
# shellcheck shell=bash

VANTLE_PACKAGES=(cmake ninja-build g++ libgtest-dev libgmock-dev libbenchmark-dev
    qt6-base-dev libsqlite3-dev xvfb xauth clang-format clang libclang-rt-14-dev lld
    desktop-file-utils appstream man-db bash-completion tzdata libfaketime)

# ensure_packages PKG...: apt-get install the packages that are not installed yet.
ensure_packages() {
    local missing=() pkg
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
}

# Source files the formatter owns.
format_files() {
    git ls-files -co --exclude-standard -- '*.cpp' '*.h' '*.c' | grep -v '^build/'
}
