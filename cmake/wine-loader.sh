# Sourced by the scripts that start Windows programs: which Wine loader runs a build of 32 or
# 64 bits, and whether this machine runs 32-bit code at all. Some kernels run none (an i386
# program fails with "Exec format error"); there only Wine's 64-bit loader starts.
# RASTELLE_ONLY_64BIT=1 makes any machine behave as one of those.

# Succeeds when the kernel starts an i386 program: a 93-byte static ELF that only exits, so
# the answer needs no 32-bit library installed.
rastelle_kernel_runs_i386() {
    probe=$(mktemp "${TMPDIR:-/tmp}/rastelle-i386.XXXXXX") || return 1
    printf '\177\105\114\106\1\1\1\0\0\0\0\0\0\0\0\0\2\0\3\0\1\0\0\0\124\200\4\10\64\0\0\0\0\0\0\0\0\0\0\0\64\0\40\0\1\0\0\0\0\0\0\0\1\0\0\0\0\0\0\0\0\200\4\10\0\200\4\10\135\0\0\0\135\0\0\0\5\0\0\0\0\20\0\0\270\1\0\0\0\61\333\315\200' >"$probe"
    chmod +x "$probe"
    "$probe" 2>/dev/null
    probe_status=$?
    rm -f "$probe"
    return "$probe_status"
}

# Prints why 32-bit programs can't run here; prints nothing when they can.
rastelle_no_32bit_reason() {
    if [ -n "${RASTELLE_ONLY_64BIT:-}" ]; then
        echo "RASTELLE_ONLY_64BIT is set"
    elif ! rastelle_kernel_runs_i386; then
        echo "this machine's kernel runs no 32-bit code (an i386 program gives \"Exec format error\")"
    fi
}

# The loader for programs of $1 bits. Debian's /usr/bin/wine and wineboot take the 32-bit
# loader whenever it is installed, even where it can't run, so the scripts name it themselves.
rastelle_wine_loader() {
    if [ "$1" = 64 ]; then
        echo /usr/lib/wine/wine64
    else
        echo /usr/lib/wine/wine
    fi
}

# The build folder of the Windows programs of $1 bits.
rastelle_windows_build() {
    if [ "$1" = 64 ]; then echo build/windows64; else echo build/windows; fi
}

# Starts the loader of $1 bits; when it fails, says so with its own message and what to do,
# and fails. $2 names the caller in the message.
rastelle_check_wine_loader() {
    loader=$(rastelle_wine_loader "$1")
    if ! output=$("$loader" --version 2>&1); then
        echo "$2: Wine's $1-bit loader $loader does not start: ${output:-no message}" >&2
        if [ "$1" = 32 ]; then
            echo "$2: to use only the 64-bit programs here, set RASTELLE_ONLY_64BIT=1;" >&2
        fi
        echo "$2: run 'sh scripts/install-deps.sh --windows' as root to install or mend Wine." >&2
        return 1
    fi
}
