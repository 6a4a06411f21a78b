# deps.sh - installs the Debian packages that are missing (sourced by the
# other scripts): `install_missing pkg...`.

install_missing() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$pkg")
        fi
    done
    if [ ${#missing[@]} -eq 0 ]; then
        return 0
    fi
    echo "Installing ${missing[*]}"
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        if command -v sudo >/dev/null 2>&1; then
            sudo=(sudo)
        else
            echo "Missing packages (${missing[*]}); run this script as root or install them first." >&2
            return 1
        fi
    fi
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# What building the program needs (cairo and its font for the figures,
# libpng for the `view` page's tiles,
# nlohmann-json for reading a matrix header, cpp-httplib for the `view`
# server); the tests add GoogleTest, groff (the
# manual page), Snakemake (the workflow in examples/workflow), pigz (one
# of the readers the matrix file is checked with) and poppler-utils
# (pdftotext reads the texts of a drawn PDF back). The Python module needs
# Debian's Python headers, numpy and pybind11; its tests pytest, pip,
# setuptools and venv (the installed-package test) and matplotlib (the
# README's example). The `view` page is tested in headless Chromium through
# its driver and Selenium.
BUILD_PACKAGES=(cmake g++ make zlib1g-dev libdeflate-dev libfmt-dev libcurl4-openssl-dev
    libcairo2-dev libpng-dev fonts-dejavu-core nlohmann-json3-dev libcpp-httplib-dev)
PYTHON_PACKAGES=(python3-dev python3-numpy pybind11-dev)
TEST_PACKAGES=(libgtest-dev groff-base snakemake pigz poppler-utils python3-pytest python3-pip python3-setuptools
    python3-wheel python3-venv python3-matplotlib chromium chromium-driver python3-selenium)

build_jobs() { nproc 2>/dev/null || echo 2; }

# Installs what the build needs and builds the release binary alone, without
# the tests, as build-example/binscope.
build_example_binary() {
    install_missing "${BUILD_PACKAGES[@]}"
    cmake -S . -B build-example -DCMAKE_BUILD_TYPE=Release -DBINSCOPE_TESTS=OFF >/dev/null
    cmake --build build-example --target binscope -j"$(build_jobs)"
}
