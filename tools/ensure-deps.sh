#!/bin/sh
# Makes sure what a build needs is there. Profiles: run (CMake 3.22 or newer
# and a C++20 compiler, all that `make run` needs), base (build and every
# test), libcxx, fuzz, windows, bench, tidy.
# On Debian and Ubuntu the missing packages of the other profiles are
# installed with apt-get as root (or through sudo). The run profile, and
# every profile on a system without dpkg and apt, installs nothing: what is
# missing is named in one line, in the system's own package names.
set -eu

# One row per need: profile; Debian, Fedora and Homebrew names (several
# joined by commas, "-" where that system needs nothing, CLT for Apple's
# command line tools); and what shows it is there without dpkg.
packages() {
    cat <<'EOF'
run     cmake                          cmake                              cmake              cmake-3.22
run     g++                            gcc-c++                            CLT                c++
base    build-essential                gcc-c++                            CLT                c++
base    cmake                          cmake                              cmake              cmake-3.22
base    libgtest-dev                   gtest-devel                        googletest         include:gtest/gtest.h
base    python3                        python3                            python3            command:python3
base    tmux                           tmux                               tmux               command:tmux
base    util-linux                     util-linux                         -                  command:setpriv
base    groff-base                     groff-base                         groff              command:groff
base    man-db                         man-db                             -                  command:man
base    dpkg-dev                       -                                  -                  command:dpkg-shlibdeps
base    strace                         strace                             -                  command:strace
libcxx  clang,libc++-dev,libc++abi-dev clang,libcxx-devel,libcxxabi-devel -                  include:c++/v1/vector
fuzz    clang,libclang-rt-dev          clang,compiler-rt                  llvm               command:clang++
windows g++-mingw-w64-x86-64           mingw64-gcc-c++                    mingw-w64          command:x86_64-w64-mingw32-g++
windows wine64                         wine                               -                  command:wine
windows tmux                           tmux                               tmux               command:tmux
bench   libbenchmark-dev               google-benchmark-devel             google-benchmark   include:benchmark/benchmark.h
bench   libreadline-dev                readline-devel                     readline           include:readline/readline.h
bench   libedit-dev                    libedit-devel                      libedit            include:histedit.h
bench   strace                         strace                             -                  command:strace
tidy    clang-tidy                     clang-tools-extra                  llvm               command:clang-tidy
EOF
}

# Whether a need is met, told without a package database.
present() {
    case "$1" in
        command:*) command -v "${1#command:}" >/dev/null 2>&1 ;;
        include:*)
            for dir in /usr/include /usr/local/include /opt/homebrew/include; do
                [ -e "$dir/${1#include:}" ] && return 0
            done
            return 1 ;;
        c++)
            for compiler in "${CXX:-}" c++ g++ clang++; do
                [ -n "$compiler" ] && command -v "$compiler" >/dev/null 2>&1 && return 0
            done
            return 1 ;;
        cmake-3.22)
            version=$(cmake --version 2>/dev/null | sed -n '1s/^[^0-9]*\([0-9]*\)\.\([0-9]*\).*/\1 \2/p')
            [ -n "$version" ] || return 1
            # shellcheck disable=SC2086
            set -- $version
            [ "$1" -gt 3 ] || { [ "$1" -eq 3 ] && [ "$2" -ge 22 ]; } ;;
    esac
}

# Debian and Ubuntu: the package database tells what is installed; the
# missing packages are installed as root, or through sudo.
install_missing_debian_packages() {
    need=""
    for name in $(rows_of "${*:-base}" | awk '{ print $2 }' | tr ',' ' '); do
        case " $need " in *" $name "*) continue ;; esac
        dpkg-query -W -f='${Status}' "$name" 2>/dev/null | grep -q 'ok installed' || need="$need $name"
    done
    [ -z "$need" ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        if command -v sudo >/dev/null 2>&1; then
            exec sudo env DEBIAN_FRONTEND=noninteractive sh "$0" "$@"
        fi
        echo "ensure-deps: as root, run: apt-get install$need" >&2
        exit 1
    fi
    echo "ensure-deps: installing$need"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    # shellcheck disable=SC2086
    apt-get install -y -qq $need >/dev/null
}

system_kind() {
    if [ "$(uname -s)" = Darwin ]; then echo macos; return; fi
    ids=$( (. /etc/os-release && echo " ${ID:-} ${ID_LIKE:-} ") 2>/dev/null || true)
    case "$ids" in
        *" debian "* | *" ubuntu "*) echo debian ;;
        *" fedora "* | *" rhel "*) echo fedora ;;
        *) echo other ;;
    esac
}

# The rows of the profiles given.
rows_of() {
    packages | awk -v list=" $* " 'index(list, " " $1 " ")'
}

# The command that installs the missing rows on stdin on one system (debian,
# fedora, macos); empty when that system needs none of them.
install_command() {
    rows=$(cat)
    column=$(case "$1" in debian) echo 2 ;; fedora) echo 3 ;; macos) echo 4 ;; esac)
    names=$(echo "$rows" | awk -v c="$column" '{ print $c }' | tr ',' '\n' | awk '$0 != "-" && $0 != "CLT" && !seen[$0]++' | tr '\n' ' ')
    names=${names% }
    case "$1" in
        debian) [ -z "$names" ] || echo "sudo apt-get install $names" ;;
        fedora) [ -z "$names" ] || echo "sudo dnf install $names" ;;
        macos)
            tools=""
            echo "$rows" | awk '$4 == "CLT"' | grep -q . && tools="xcode-select --install"
            [ -z "$names" ] || tools="${tools:+$tools; }brew install $names"
            echo "$tools" ;;
    esac
}

profiles=${*:-base}
for profile in $profiles; do
    case "$profile" in
        run | base | libcxx | fuzz | windows | bench | tidy) ;;
        *) echo "ensure-deps: unknown profile $profile" >&2; exit 2 ;;
    esac
done

if [ "$profiles" != run ] && command -v dpkg-query >/dev/null 2>&1 && command -v apt-get >/dev/null 2>&1; then
    install_missing_debian_packages "$@"
    exit 0
fi

# Without a package database each need is looked for where it shows; a need
# this system has no package for ("-") is not one here.
kind=$(system_kind)
missing=$(rows_of "$profiles" | while read -r profile debian fedora macos check; do
    case "$kind" in
        debian) name=$debian ;; fedora) name=$fedora ;; macos) name=$macos ;; *) name="" ;;
    esac
    [ "$name" = - ] || present "$check" || echo "$profile $debian $fedora $macos"
done)
[ -z "$missing" ] && exit 0
if [ "$kind" = other ]; then
    advice="Debian/Ubuntu: $(echo "$missing" | install_command debian)"
    fedora=$(echo "$missing" | install_command fedora)
    macos=$(echo "$missing" | install_command macos)
    [ -z "$fedora" ] || advice="$advice; Fedora: $fedora"
    [ -z "$macos" ] || advice="$advice; macOS: $macos"
else
    advice=$(echo "$missing" | install_command "$kind")
fi
if [ "$profiles" = run ]; then
    echo "Building Pelorin needs CMake 3.22 or newer and a C++20 compiler; install them with: $advice" >&2
else
    echo "ensure-deps: install these first: $advice" >&2
fi
exit 1
