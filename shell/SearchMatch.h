#pragma once
// The search window's rule: the first row, in data-set order, where a visible
// field's text starts with the searched text, ignoring case and accents; when
// no field starts with it, the first row where one contains it.
//
// The lookup list's rule: the rows where a visible field's text contains the
// typed text, ignoring case and accents. A number typed with or without the
// punctuation of its mask ("11.222.333/0001-81", "529.982.247-25") matches
// the number written either way. Both the desktop lookup window and
// the headless one narrow their rows with MatchingRows.
#include <string>
#include <vector>

class TDataSet;

class SearchMatch {
public:
    // Row index (0-based), or -1 when nothing matches.
    static int FirstMatch(TDataSet* DataSet, const std::string& text);
    // Makes row the data set's current row, as the search window does when
    // the operator types. After the move, a screen that owns the data set and
    // publishes the handler "qryServiAfterScroll" (a data-set notify handler)
    // has it run with the data set, while the search window is the active
    // form: that is how the screen keeps its list in step with a search over
    // the possible services.
    static void MoveTo(TDataSet* DataSet, int row);
    // The rows (0-based, in data-set order) where a visible field's text
    // contains text, ignoring case and accents; every row when text is empty,
    // none when the data set is null or closed.
    static std::vector<int> MatchingRows(const TDataSet* DataSet, const std::string& text);
    // Whether value contains wanted, both Windows-1252, ignoring case and
    // accents, and a number's punctuation.
    static bool Contains(const std::string& value, const std::string& wanted);
    // Folds a Windows-1252 text for comparison: upper case, accents dropped.
    static std::string Fold(const std::string& text);
};
