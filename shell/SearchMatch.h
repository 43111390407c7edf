#pragma once
// The search window's rule: the first row, in data-set order, where a visible
// field's text starts with the searched text, ignoring case and accents; when
// no field starts with it, the first row where one contains it.
#include <string>

class TDataSet;

class SearchMatch {
public:
    // Row index (0-based), or -1 when nothing matches.
    static int FirstMatch(TDataSet* DataSet, const std::string& Text);
    // Makes Row the data set's current row, as the search window does when
    // the operator types. After the move, a screen that owns the data set and
    // publishes the handler "qryServiAfterScroll" (a data-set notify handler)
    // has it run with the data set, while the search window is the active
    // form: that is how the screen keeps its list in step with a search over
    // the possible services.
    static void MoveTo(TDataSet* DataSet, int Row);
    // Folds a Windows-1252 text for comparison: upper case, accents dropped.
    static std::string Fold(const std::string& Text);
};
