#include "host/ProgressShown.h"

#include "host/ShellRoutines.h"

ProgressShown::ProgressShown(TComponent* Owner, int Kind, const std::string& Text)
{
    ActiveShowAvi(Owner, Kind, Text);
}

ProgressShown::~ProgressShown()
{
    try {
        Close();
    } catch (...) {
        // Left by an error: that error is the one to report.
    }
}

void ProgressShown::Close()
{
    if (open_) {
        open_ = false;
        DeactiveShowAvi();
    }
}
