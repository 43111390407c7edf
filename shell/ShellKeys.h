#pragma once
// The shell's own keys for keyboard-only work, the same in the desktop shell
// and the headless one. They act as the mouse would, so a screen's tab order
// and its handlers stay as they are:
//
//   F6             the focus to the form's next list or grid (the list of
//                  possible services is no tab stop, so the keyboard reaches
//                  it this way), as a click into it would
//   F2, Alt+Down   the lookup of the edit with the focus, as a click on its
//                  lookup button would
//
// The desktop shell's Tab goes round the stops TabStops lists.
#include <string>
#include <vector>

class TBtnPesquisa;
class TControl;
class TCustomForm;

class ShellKeys {
public:
    // F6: moves the focus to the list or grid after the focused one, or to
    // the first when the focus is elsewhere. False when the form has none
    // that can take the focus.
    static bool FocusNextList(TCustomForm& form);
    // F2: clicks the lookup button of the focused control. False when it has
    // none, or that button is disabled.
    static bool OpenLookup(TCustomForm& form);
    // The lookup button that serves control, or null.
    static TBtnPesquisa* LookupOf(const TControl* control);
    // Whether control is one that F6 takes the focus to.
    static bool IsListStop(const TControl* control);
    // Every place Tab reaches on the form, in tab order: the controls that
    // can take the focus and are tab stops or lists, and after the controls
    // of a container its enabled buttons that have a shortcut of their own
    // (the transfer buttons between the list and the grid). Tab stops in a
    // list or grid too, so that it goes round the whole form.
    static std::vector<TControl*> TabStops(const TCustomForm& form);
};
