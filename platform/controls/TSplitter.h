#pragma once
// A bar between two aligned controls; moving it resizes the control aligned
// just before it on the same side, and the client-aligned one takes the rest.
#include "platform/controls/TControl.h"

class TSplitter : public TControl {
public:
    DECLARE_CLASS_NAME(TSplitter)
    explicit TSplitter(TComponent* AOwner);

    int MinSize() const { return minSize_; }
    void SetMinSize(int value) { minSize_ = value; }
    // The control the splitter resizes, or nullptr.
    TControl* ResizedControl() const;
    // Moves the splitter by delta pixels (positive: right or down), within the
    // minimum sizes of both sides.
    void MoveBy(int delta);

private:
    int minSize_ = 30;
};
