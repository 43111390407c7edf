#include "platform/controls/TSplitter.h"

#include "platform/controls/TWinControl.h"
#include "platform/model/ClassRegistration.h"

#include <algorithm>

namespace {
const ClassRegistration<TSplitter> splitterClass("TSplitter", "TControl", [](ClassBuilder<TSplitter>& c) {
    c.RegisterIntegerProperty("MinSize", &TSplitter::MinSize, &TSplitter::SetMinSize, 0, 10000);
});
} // namespace

TSplitter::TSplitter(TComponent* AOwner) : TControl(AOwner)
{
    SetAlign(TAlign::alLeft);
    SetWidth(3);
}

TControl* TSplitter::ResizedControl() const
{
    TWinControl* parent = Parent();
    if (parent == nullptr) {
        return nullptr;
    }
    TControl* best = nullptr;
    for (int i = 0; i < parent->ControlCount(); ++i) {
        TControl* c = parent->Controls(i);
        if (c == this || c->Align() != Align() || !c->Visible()) {
            continue;
        }
        bool before = Align() == TAlign::alLeft ? c->Left() + c->Width() <= Left() : c->Top() + c->Height() <= Top();
        if (before &&
            (best == nullptr || (Align() == TAlign::alLeft ? c->Left() > best->Left() : c->Top() > best->Top()))) {
            best = c;
        }
    }
    return best;
}

void TSplitter::MoveBy(int delta)
{
    TControl* target = ResizedControl();
    TWinControl* parent = Parent();
    if (target == nullptr || parent == nullptr) {
        return;
    }
    // Room left for the client-aligned side after the move.
    int clientSize = 0;
    for (int i = 0; i < parent->ControlCount(); ++i) {
        TControl* c = parent->Controls(i);
        if (c->Align() == TAlign::alClient && c->Visible()) {
            clientSize = Align() == TAlign::alLeft ? c->Width() : c->Height();
        }
    }
    int size = Align() == TAlign::alLeft ? target->Width() : target->Height();
    int maxGrow = std::max(0, clientSize - minSize_);
    int d = std::clamp(delta, minSize_ - size, maxGrow);
    if (Align() == TAlign::alLeft) {
        target->SetWidth(size + d);
    } else {
        target->SetHeight(size + d);
    }
    parent->AlignControls();
}
