#!/bin/bash
# Fails when a text the operator can read has no translation: a message table
# that lacks a key another language's table has, or a text of a form resource
# (a caption, hint, title, label or message line) that its English texts file
# does not translate.
#
#   scripts/check-translations.sh                  the project's tables and forms
#   scripts/check-translations.sh --tables A B ... --form FORM TEXTS ...
#
# Run by ctest as the test "translations".
set -u

root=$(cd "$(dirname "$0")/.." && pwd)
status=0

# Every key of table a has a line in table b.
tables() {
    local a=$1 b=$2 key
    while read -r key; do
        echo "$b: no line for the key $key of $a"
        status=1
    done < <(comm -23 <(grep -v '^#' "$a" | cut -d'|' -f1 | grep -v '^$' | sort -u) \
        <(grep -v '^#' "$b" | cut -d'|' -f1 | grep -v '^$' | sort -u))
}

# The quoted texts of a form that the operator reads, one a line.
form_texts() {
    awk '
        inlist {
            line = $0
            sub(/^[ \t]+/, "", line)
            if (line ~ /\)$/) { inlist = 0; sub(/\)$/, "", line) }
            if (line != "") print line
            next
        }
        /^[ \t]*(Lines|Items)\.Strings = \($/ { inlist = 1; next }
        /^[ \t]*(Caption|Hint|Title|Title\.Caption|EmptyError|DisplayLabel) = '\''/ {
            line = $0
            sub(/^[^=]*= /, "", line)
            if (line != "'\'''\''") print line
        }
    ' "$1"
}

# Every text of the form is the original of a line of its texts file.
form() {
    local form=$1 texts=$2 text
    local originals
    originals=$(grep -v '^#' "$texts" | cut -f1)
    while IFS= read -r text; do
        # A screen's code (CLI_ZEL31500) is the same in every language.
        if [[ $text =~ ^\'[A-Z0-9_]*[0-9_][A-Z0-9_]*\'$ ]]; then
            continue
        fi
        if ! grep -qxF -- "$text" <<<"$originals"; then
            echo "$texts: no translation of $text ($form)"
            status=1
        fi
    done < <(form_texts "$form")
}

if [ $# -eq 0 ]; then
    set -- --tables "$root/host/forms/Mensagens.txt" "$root/host/forms/Mensagens.en.txt" \
        --form "$root/host/forms/TfrmPadraoSimples.form" "$root/host/forms/en/TfrmPadraoSimples.txt" \
        --form "$root/screen/forms/TfrmServCliente.form" "$root/screen/forms/en/TfrmServCliente.txt"
fi
while [ $# -gt 0 ]; do
    case $1 in
    --tables)
        tables "$2" "$3"
        tables "$3" "$2"
        shift 3
        ;;
    --form)
        form "$2" "$3"
        shift 3
        ;;
    *)
        echo "unknown argument: $1" >&2
        exit 2
        ;;
    esac
done
exit $status
