#include "host/ProgressShown.h"

#include "host/ShellRoutines.h"

ProgressShown::ProgressShown(TComponent* owner, int kind, const std::string& text)
{
    ActiveShowAvi(owner, kind, text);
}

ProgressShown::~ProgressShown()
{
    try {
        Close();
    } catch (...) {
        // Left by an error: that error is the one to report.
    }
}

void ProgressShown::Count(int done, int total)
{
    if (open_) {
        ShowAviCount(done, total);
    }
}

void ProgressShown::OfferCancel()
{
    if (open_) {
        ShowAviOfferCancel();
    }
}

bool ProgressShown::Cancelled() const
{
    return open_ && ShowAviCancelled();
}

void ProgressShown::Close()
{
    if (open_) {
        open_ = false;
        DeactiveShowAvi();
    }
}
