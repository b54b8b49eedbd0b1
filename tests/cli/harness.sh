# Shared by the morvexc test scripts: sourced with MORVEXC [wine] as the
# script's arguments. Gives $exe, $runner, a fresh $work folder, hex() and check().
exe=$(realpath "$1")
runner=${2:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0 failed=0
# The path as Windows names it: a fresh prefix maps drive Z: to the root.
# A string rewrite, not winepath: each extra Wine process is one more that
# can fail to start.
winpath() { if [ -n "$runner" ]; then local p=${1//\//\\}; echo "Z:$p"; else echo "$1"; fi; }
hex() { xxd -p "$1" | tr -d '\n'; }
check() { # name expected actual
    if [ "$2" == "$3" ]; then passed=$((passed + 1))
    else echo "FAIL $1: expected [$2], got [$3]"; failed=$((failed + 1)); fi
}
report() {
    echo "$passed passed, $failed failed"
    [ "$failed" -eq 0 ]
}
