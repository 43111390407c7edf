# Marks every text of a form resource that the operator reads, for the
# pseudo-language module: captions, hints, titles, empty-list texts, field
# labels and the texts of message lines ("key|text") come out in brackets.
s/^([ \t]*(Caption|Hint|Title|EmptyError|DisplayLabel) = ')(.*)'$/\1[\3]'/
/^[ \t]*(Lines|Items)\.Strings = \($/,/\)$/ s/^([ \t]*'[^|']*\|)(.*)'(\)?)$/\1[\2]'\3/
