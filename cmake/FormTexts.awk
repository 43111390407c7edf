# Lists or rewrites the texts an operator reads in a form resource: captions,
# hints, titles, empty-list texts, field labels, accessible names and
# descriptions, and the lines of string lists.
#
#   awk -v mode=list -f FormTexts.awk FORM                  key TAB quoted text, one a line
#   awk -v mode=translate -v table=TABLE -f FormTexts.awk FORM
#   awk -v mode=pseudo -f FormTexts.awk FORM                every text in brackets
#
# A text's key is its component's name and its property ("lblFilial.Caption");
# a collection item's property adds the collection and the item's index
# ("dbgPadrao.Columns.0.Title.Caption"); a list line "key|text" is keyed by
# the list and the line's own key ("msgPadrao.Lines.filial_inf"), any other
# line by its index ("lsbOpcoes.Items.2"). TABLE holds lines "key|text" (other
# lines are skipped); translate replaces each text whose key it has and keeps
# the others, so a gap shows Portuguese (scripts/check-translations.sh finds it).
# The rest of the form comes out byte for byte.

function unquote(s) {
    s = substr(s, 2, length(s) - 2)
    gsub(/''/, "'", s)
    return s
}

function quote(s) {
    gsub(/'/, "''", s)
    return "'" s "'"
}

# The key of the innermost component's property: its name, then any
# collection items opened inside it.
function owner(    i, path) {
    path = ""
    for (i = depth; i > 0; i--) {
        if (kind[i] == "collection") {
            continue
        }
        path = (path == "") ? stack[i] : stack[i] "." path
        if (kind[i] == "component") {
            break
        }
    }
    return path
}

function push(what, name) {
    depth++
    kind[depth] = what
    stack[depth] = name
}

# Hands one text on: prints it for list, and gives the text to write.
function text(key, value) {
    if (mode == "list") {
        print key "\t" quote(value)
        return value
    }
    if (mode == "pseudo") {
        return "[" value "]"
    }
    return (key in translation) ? translation[key] : value
}

BEGIN {
    if (mode != "list" && mode != "translate" && mode != "pseudo") {
        print "FormTexts.awk: mode must be list, translate or pseudo" > "/dev/stderr"
        exit 2
    }
    if (mode == "translate") {
        while ((getline line < table) > 0) {
            bar = index(line, "|")
            if (line !~ /^#/ && bar > 1) {
                translation[substr(line, 1, bar - 1)] = substr(line, bar + 1)
            }
        }
        close(table)
    }
}

{
    out = $0
}

inlist {
    # A line of a string list: indent, the quoted line, ")" after the last.
    match($0, /^[ \t]*/)
    indent = substr($0, 1, RLENGTH)
    rest = substr($0, RLENGTH + 1)
    close_list = (rest ~ /\)$/)
    if (close_list) {
        rest = substr(rest, 1, length(rest) - 1)
        inlist = 0
    }
    if (rest ~ /^'.*'$/) {
        line = unquote(rest)
        bar = index(line, "|")
        if (bar > 1) {
            lead = substr(line, 1, bar)
            value = text(listkey "." substr(line, 1, bar - 1), substr(line, bar + 1))
        } else {
            lead = ""
            value = text(listkey "." items, line)
        }
        items++
        out = indent quote(lead value) (close_list ? ")" : "")
    }
    if (mode != "list") {
        print out
    }
    next
}

/^[ \t]*(object|inherited|inline) [A-Za-z_][A-Za-z0-9_]*:/ {
    name = $2
    sub(/:.*/, "", name)
    push("component", name)
}

/^[ \t]*[A-Za-z_][A-Za-z0-9_.]* = <$/ {
    collection = $1
    push("collection", collection)
    count[depth] = 0
}

/^[ \t]*item$/ {
    push("item", stack[depth] "." count[depth])
    count[depth - 1]++
}

/^[ \t]*end>?$/ {
    depth--
    if ($1 == "end>") {
        depth--
    }
}

/^[ \t]*(Lines|Items)\.Strings = \($/ {
    list = $1
    sub(/\..*/, "", list)
    listkey = owner() "." list
    items = 0
    inlist = 1
}

/^[ \t]*(Caption|Hint|Title|Title\.Caption|EmptyError|DisplayLabel|AccessibleName|AccessibleDescription) = '.*'$/ {
    match($0, /^[^=]*= /)
    lead = substr($0, 1, RLENGTH)
    rest = substr($0, RLENGTH + 1)
    if (rest != "''") {
        out = lead quote(text(owner() "." $1, unquote(rest)))
    }
}

mode != "list" {
    print out
}
