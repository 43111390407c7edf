#pragma once
// Dragging between the lists of a transfer screen: the selected entries of
// the possible list dropped on the assigned grid do what the button that
// moves them right does, the grid's current row dropped on the list what the
// button that moves one back does. A drop clicks that button as the operator
// would (TSpeedButton::OperatorClick), so it runs the same handler under the
// same enabled rule: while the button is disabled nothing is dropped.
//
// A drag carries the form's and the source control's names under its own
// MIME type; a drop from another form, another control or another program
// finds no button.
#include <QString>

#include <string>

class QMimeData;
class TControl;
class TSpeedButton;

class DropRoutes {
public:
    static const char* const kMimeType;

    // Whether Source's contents may be dragged somewhere.
    static bool IsSource(const TControl* Source);
    // What a drag from Source carries; the caller owns it.
    static QMimeData* Encode(const TControl* Source);
    // The button a drop of mime on target clicks, whether enabled or not;
    // null when there is no such route on target's form.
    static TSpeedButton* ButtonFor(const QMimeData* mime, const TControl* target);
    // The button, when it takes the click now; else null.
    static TSpeedButton* EnabledButtonFor(const QMimeData* mime, const TControl* target);
};
