#!/bin/bash
# Fails when a file includes a layer it may not: a lower platform layer a
# higher one, the server anything but the platform's core and net, the
# platform anything outside it. Also fails on a source file at the top of
# platform/ and on a platform folder the rules below do not name.
#
#   scripts/check-layers.sh [ROOT]        (ROOT defaults to the checkout)
#
# Run by ctest as the test "layers".
set -u

root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root" || exit 2

# The order of the layers, once: what each layer may include besides itself.
# The platform's libraries link the same way (platform/*/CMakeLists.txt).
declare -A allowed=(
    [platform/core]=""
    [platform/model]="platform/core"
    [platform/forms]="platform/core platform/model"
    [platform/data]="platform/core platform/model"
    [platform/net]="platform/core"
    [platform/controls]="platform/core platform/model platform/forms platform/data"
    [platform/package]="platform/core"
    [host]="platform/core platform/model platform/forms platform/data platform/net platform/controls"
    [screen]="platform/core platform/model platform/forms platform/data platform/net platform/controls host"
    [module]="platform/core platform/model platform/forms platform/data platform/net platform/controls
              platform/package host screen"
    [server]="platform/core platform/net"
    [shell]="platform/core platform/model platform/forms platform/data platform/net platform/controls
             platform/package host"
)

failed=0
fail() {
    echo "check-layers: $*" >&2
    failed=1
}

# The layer a path (a file, or an included path) belongs to; empty when none.
layer_of() {
    local path=$1
    case $path in
        platform/*/*) local rest=${path#platform/}; echo "platform/${rest%%/*}" ;;
        platform/*) echo "platform" ;;
        host/* | screen/* | module/* | server/* | shell/*) echo "${path%%/*}" ;;
        *) echo "" ;;
    esac
}

for f in platform/*; do
    if [ -f "$f" ] && [ "$(basename "$f")" != CMakeLists.txt ]; then
        fail "$f: a file at the top of platform/; it belongs in a layer's folder"
    fi
    if [ -d "$f" ] && [ -z "${allowed[$f]+set}" ]; then
        fail "$f: a platform folder without a rule in scripts/check-layers.sh"
    fi
done

checked=0
while IFS= read -r -d '' file; do
    from=$(layer_of "$file")
    [ -n "$from" ] || continue
    if [ -z "${allowed[$from]+set}" ]; then
        continue # reported above: a file at the top of platform/ or an unknown folder
    fi
    checked=$((checked + 1))
    # Quoted includes written from the project root, and angle-bracket ones of
    # the project's folders too.
    while IFS=: read -r line inc; do
        if [[ $inc == *..* ]]; then
            fail "$file:$line: includes $inc; includes are written from the project root"
            continue
        fi
        to=$(layer_of "$inc")
        [ -n "$to" ] || continue
        [ "$to" = "$from" ] && continue
        if [ "$to" = platform ]; then
            fail "$file:$line: includes $inc, which is at the top of platform/"
            continue
        fi
        ok=0
        for a in ${allowed[$from]}; do
            [ "$a" = "$to" ] && ok=1
        done
        [ $ok = 1 ] || fail "$file:$line: $from includes $inc ($to)"
    done < <(grep -noE '^[[:space:]]*#[[:space:]]*include[[:space:]]*["<][^">]+[">]' "$file" |
        sed -E 's/^([0-9]+):[^"<]*["<]([^">]+)[">].*/\1:\2/')
done < <(find platform host screen module server shell -type f \
    \( -name '*.h' -o -name '*.hpp' -o -name '*.cpp' -o -name '*.cc' \) -print0)

if [ $checked -eq 0 ]; then
    fail "no source files found under $root"
fi
if [ $failed -ne 0 ]; then
    exit 1
fi
echo "check-layers: $checked files, every include within its layer's rules"
