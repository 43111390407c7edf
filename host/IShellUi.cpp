#include "host/IShellUi.h"

#include "platform/core/Cp1252.h"

#include <cstdio>

namespace {

// Without an operator there is nobody to pick a row or type a search: lookups
// are cancelled and the rest is only written down.
class StderrShellUi : public IShellUi {
public:
    void ShowProgress(TComponent*, int, const std::string& text) override
    {
        std::fprintf(stderr, "progress: %s\n", Cp1252::ToUtf8Lossy(text).c_str());
    }
    void HideProgress() override { std::fprintf(stderr, "progress closed\n"); }
    std::optional<int> PickRow(TComponent*, const std::string& title, TDataSet*) override
    {
        std::fprintf(stderr, "lookup cancelled: %s\n", Cp1252::ToUtf8Lossy(title).c_str());
        return std::nullopt;
    }
    void ShowEmptyLookup(TComponent*, const std::string& text) override
    {
        std::fprintf(stderr, "lookup empty: %s\n", Cp1252::ToUtf8Lossy(text).c_str());
    }
    void Search(TDataSet*) override { std::fprintf(stderr, "search window not available\n"); }
};

StderrShellUi& Fallback()
{
    static StderrShellUi ui;
    return ui;
}

IShellUi*& Installed()
{
    static IShellUi* ui = nullptr;
    return ui;
}

} // namespace

void IShellUi::ShowProgressCount(int /*done*/, int /*total*/) {}

void IShellUi::OfferProgressCancel() {}

bool IShellUi::ProgressCancelled()
{
    return false;
}

void IShellUi::ShowNote(const std::string& text)
{
    std::fprintf(stderr, "note: %s\n", Cp1252::ToUtf8Lossy(text).c_str());
}

int IShellUi::Ask(TComponent* /*owner*/, const std::string& text, const std::vector<std::string>& /*choices*/,
                  int escapeChoice)
{
    std::fprintf(stderr, "question not answered: %s\n", Cp1252::ToUtf8Lossy(text).c_str());
    return escapeChoice;
}

IShellUi& IShellUi::Current()
{
    IShellUi* current = Installed();
    return current != nullptr ? *current : Fallback();
}

IShellUi* IShellUi::SetCurrent(IShellUi* ui)
{
    IShellUi* old = Installed();
    Installed() = ui;
    return old;
}
