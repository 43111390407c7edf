#pragma once
// The shell's progress window over a screen for a scope: opened when made
// (ActiveShowAvi), closed at Close or when the scope is left without it. A
// command that works through items may offer the operator a Cancel.
//
// Failure behaviour: closing never raises from the destructor.
#include <string>

class TComponent;

class ProgressShown {
public:
    ProgressShown(TComponent* owner, int kind, const std::string& text);
    ~ProgressShown();
    ProgressShown(const ProgressShown&) = delete;
    ProgressShown& operator=(const ProgressShown&) = delete;

    // While open, shows that the work is at item done of total.
    void Count(int done, int total);
    // Offers the operator a Cancel; the command asks Cancelled between two
    // items and stops there.
    void OfferCancel();
    bool Cancelled() const;
    void Close();

private:
    bool open_ = true;
};
