#!/usr/bin/env bash
# Runs scripts/install-deps.sh against recording stand-ins for apt-get, dpkg-query, sudo and
# id, from each starting state a machine can be in, and checks what it asked apt to do and
# in which order. Needs no network and changes nothing outside a scratch folder.
set -uo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

stand_ins="$scratch/bin"
mkdir -p "$stand_ins"
# The calls are recorded one a line; `update` notes whether the deb-src list was there.
cat > "$stand_ins/apt-get" <<'STAND_IN'
#!/usr/bin/env bash
verb=""
for word in "$@"; do case "$word" in -*) ;; *) verb="$word"; break ;; esac; done
line="apt-get $verb"
[ "$verb" = update ] && { [ -f "$HALVEK_APT_SOURCES_DIR/halvek-deb-src.sources" ] && line+=" list=present" || line+=" list=absent"; }
echo "$line" >> "$RECORD"
if [ "${FAIL_VERB:-}" = "$verb" ]; then echo "E: the stand-in refuses $verb" >&2; exit 100; fi
shift
case "$verb" in
    install) echo all > "$INSTALLED" ;;
    source) for word in "$@"; do
                case "$word" in -*) ;; *) mkdir -p "$word-1.0" && : > "$word-1.0/CMakeLists.txt" ;; esac
            done ;;
esac
STAND_IN
cat > "$stand_ins/dpkg-query" <<'STAND_IN'
#!/usr/bin/env bash
grep -qx all "$INSTALLED" 2>/dev/null || exit 1
printf 'install ok installed'
STAND_IN
cat > "$stand_ins/sudo" <<'STAND_IN'
#!/usr/bin/env bash
echo "sudo $1" >> "$RECORD"
exec "$@"
STAND_IN
cat > "$stand_ins/id" <<'STAND_IN'
#!/usr/bin/env bash
echo 1000
STAND_IN
chmod +x "$stand_ins"/*

passed=0
failed=0
# run_case NAME INSTALLED(all|none) LIST(present|absent) SOURCES(present|absent) FAIL_VERB
#          EXPECTED_STATUS EXPECTED_CALLS...
run_case() {
    local name="$1" installed="$2" list="$3" sources="$4" fail_verb="$5" expected_status="$6"
    shift 6
    local expected
    expected="$(printf '%s\n' "$@")"
    local dir="$scratch/$name"
    mkdir -p "$dir/apt" "$dir/src"
    printf 'Types: deb\nURIs: http://deb.example/debian\nSuites: bookworm\nComponents: main\n' \
        > "$dir/apt/debian.sources"
    [ "$list" = present ] && printf 'Types: deb-src\n' > "$dir/apt/halvek-deb-src.sources"
    [ "$sources" = present ] && for package in jsoncpp-1 pugixml-1; do
        mkdir -p "$dir/src/$package" && : > "$dir/src/$package/CMakeLists.txt"
    done
    [ "$installed" = all ] && echo all > "$dir/installed"
    : > "$dir/record"
    local status=0
    PATH="$stand_ins:$PATH" RECORD="$dir/record" INSTALLED="$dir/installed" FAIL_VERB="$fail_verb" \
        HALVEK_APT_SOURCES_DIR="$dir/apt" HALVEK_DEB_SRC_CACHE="$dir/src" \
        bash "$root/scripts/install-deps.sh" > "$dir/out" 2>&1 || status=$?
    local calls
    calls="$(grep -v '^sudo ' "$dir/record")"
    local problems=()
    [ "$status" -eq "$expected_status" ] || problems+=("exit $status, expected $expected_status")
    [ "$calls" = "$expected" ] || problems+=("calls were:" "$calls" "expected:" "$expected")
    if [ "$expected_status" -eq 0 ]; then
        grep -q '^Types: deb-src$' "$dir/apt/halvek-deb-src.sources" 2>/dev/null \
            || problems+=("no deb-src list left in place")
    else
        grep -q "the stand-in refuses $fail_verb" "$dir/out" || problems+=("apt-get's message not shown")
        grep -q "install-deps: 'apt-get $fail_verb" "$dir/out" \
            || grep -q "install-deps: 'sudo apt-get $fail_verb" "$dir/out" \
            || problems+=("the failing step not named")
    fi
    if [ ${#problems[@]} -eq 0 ]; then
        echo "ok   $name"
        passed=$((passed + 1))
    else
        echo "FAIL $name"
        printf '     %s\n' "${problems[@]}"
        sed 's/^/     | /' "$dir/out"
        failed=$((failed + 1))
    fi
}

run_case fresh-machine none absent absent "" 0 \
    "apt-get update list=present" "apt-get install" "apt-get source"
run_case packages-but-no-list all absent absent "" 0 \
    "apt-get update list=present" "apt-get source"
run_case everything-present all present present "" 0
run_case list-added-without-fetching all absent present "" 0
run_case update-fails none absent absent update 100 "apt-get update list=present"
run_case install-fails none present absent install 100 \
    "apt-get update list=present" "apt-get install"

echo "install-deps: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
