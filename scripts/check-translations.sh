#!/bin/bash
# Fails when a translation table of a language does not match what it
# translates: a message key of the Portuguese table it has no line for, a text
# of a form resource (a caption, hint, title, label or message line, keyed by
# component and property as cmake/FormTexts.awk lists them) it does not
# translate, or a key that is neither (left over from a text that is gone).
#
#   scripts/check-translations.sh        every translated language of cmake/Languages.txt
#   scripts/check-translations.sh --table BASE TABLE [FORM...] ...
#       TABLE has a line for each key of the message table BASE ("-": none)
#       and each text of each FORM, and no other line.
#
# Run by ctest as the test "translations".
set -u

root=$(cd "$(dirname "$0")/.." && pwd)
status=0

# The keys of a table of lines "key|text", one a line, sorted.
keys() {
    grep -v '^#' "$1" | grep '|' | cut -d'|' -f1 | grep -v '^$' | sort -u
}

# The texts of a form: key TAB quoted text, one a line.
form_texts() {
    LC_ALL=C awk -v mode=list -f "$root/cmake/FormTexts.awk" "$1"
}

check_table() {
    local base=$1 table=$2 form key text
    shift 2
    local have known
    have=$(keys "$table")
    known=""
    if [ "$base" != - ]; then
        known=$(keys "$base")
        while read -r key; do
            echo "$table: no line for the key $key of $base"
            status=1
        done < <(comm -23 <(echo "$known") <(echo "$have") | grep -v '^$')
    fi
    for form in "$@"; do
        while IFS=$'\t' read -r key text; do
            known+=$'\n'"$key"
            # A screen's code (CLI_ZEL31500) is the same in every language.
            if [[ $text =~ ^\'[A-Z0-9_]*[0-9_][A-Z0-9_]*\'$ ]]; then
                continue
            fi
            if ! grep -qxF -- "$key" <<<"$have"; then
                echo "$table: no translation of $key, $text ($form)"
                status=1
            fi
        done < <(form_texts "$form")
    done
    while read -r key; do
        echo "$table: the key $key is neither a message of $base nor a text of ${*:-no form}"
        status=1
    done < <(comm -13 <(echo "$known" | grep -v '^$' | sort -u) <(echo "$have") | grep -v '^$')
}

if [ $# -eq 0 ]; then
    while read -r code how; do
        if [ "$how" = translated ]; then
            set -- "$@" --table "$root/host/forms/Mensagens.txt" "$root/host/forms/Mensagens.$code.txt" \
                "$root/host/forms/TfrmPadraoSimples.form" \
                --table - "$root/screen/forms/TfrmServCliente.$code.txt" "$root/screen/forms/TfrmServCliente.form"
        fi
    done < <(grep -v '^#' "$root/cmake/Languages.txt")
fi
while [ $# -gt 0 ]; do
    if [ "$1" != --table ] || [ $# -lt 3 ]; then
        echo "usage: $0 [--table BASE TABLE [FORM...]]..." >&2
        exit 2
    fi
    args=("$2" "$3")
    shift 3
    while [ $# -gt 0 ] && [ "$1" != --table ]; do
        args+=("$1")
        shift
    done
    if [ ! -f "${args[1]}" ]; then
        echo "${args[1]}: missing"
        status=1
        continue
    fi
    check_table "${args[@]}"
done
exit $status
