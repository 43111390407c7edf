#include "host/ShellRoutines.h"

#include "host/HostMessages.h"

#include "host/IShellUi.h"
#include "host/Session.h"
#include "platform/core/ErrorSink.h"
#include "platform/core/Exception.h"

TCustomForm* frmProcurar = nullptr;

namespace {

bool IsBlankChar(char c)
{
    auto u = static_cast<unsigned char>(c);
    return u <= 0x20 || u == 0x7F || u == 0xA0;
}

bool progressOpen = false;

} // namespace

bool EmptyString(std::string_view text)
{
    for (char c : text) {
        if (!IsBlankChar(c)) {
            return false;
        }
    }
    return true;
}

std::string Ajusta(std::string_view text, int width)
{
    std::size_t b = 0;
    std::size_t e = text.size();
    while (b < e && IsBlankChar(text[b])) {
        ++b;
    }
    while (e > b && IsBlankChar(text[e - 1])) {
        --e;
    }
    std::string trimmed(text.substr(b, e - b));
    if (trimmed.empty() || width <= 0 || trimmed.size() >= static_cast<std::size_t>(width)) {
        return trimmed;
    }
    return std::string(static_cast<std::size_t>(width) - trimmed.size(), '0') + trimmed;
}

std::string Ajusta_Inscricao(std::string& text)
{
    std::string digits;
    digits.reserve(text.size());
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            digits += c;
        }
    }
    text = digits;
    return text;
}

std::string PictPess(std::string_view kind)
{
    std::size_t b = 0;
    std::size_t e = kind.size();
    while (b < e && IsBlankChar(kind[b])) {
        ++b;
    }
    while (e > b && IsBlankChar(kind[e - 1])) {
        --e;
    }
    if (e - b == 1) {
        char k = kind[b];
        if (k == 'F' || k == 'f') {
            return "999.999.999-99;0;_";
        }
        if (k == 'J' || k == 'j') {
            return "99.999.999/9999-99;0;_";
        }
    }
    return "99999999999999999999;0;_";
}

void MensErro(const std::string& text, bool raise)
{
    ErrorSink::Show(text);
    if (raise) {
        throw EAbort();
    }
}

int Pergunta(const std::string& text, const std::vector<std::string>& choices, int escapeChoice)
{
    const int choice = IShellUi::Current().Ask(nullptr, text, choices, escapeChoice);
    return choice >= 0 && choice < static_cast<int>(choices.size()) ? choice : escapeChoice;
}

void MostraAviso(const std::string& text)
{
    IShellUi::Current().ShowNote(text);
}

bool CheckResultServ(const Variant& answer, bool raise, int code)
{
    std::string message;
    switch (answer.GetKind()) {
    case Variant::Kind::String: message = answer.AsString(); break;
    case Variant::Kind::Bool:
        if (!answer.AsBool()) {
            message = HostMessages::Text("srv.recusou_operacao");
        }
        break;
    case Variant::Kind::Null:
    case Variant::Kind::Int:
    case Variant::Kind::Packet: break;
    }
    if (message.empty()) {
        return true;
    }
    if (code != 0) {
        message += " (" + std::to_string(code) + ")";
    }
    MensErro(message, raise);
    return false;
}

std::string FiliProc()
{
    return Session::Current().FiliProc();
}

std::string FiliProcFat()
{
    return Session::Current().FiliProcFat();
}

std::string NomeFiliProcFat()
{
    return Session::Current().NomeFiliProcFat();
}

bool ModuFili()
{
    return Session::Current().ModuFili();
}

int ModuloAtiv()
{
    return Session::Current().ModuloAtiv();
}

std::string WebURL()
{
    return Session::Current().WebURL();
}

int WebPort()
{
    return Session::Current().WebPort();
}

void ActiveShowAvi(TComponent* owner, int kind, const std::string& text)
{
    IShellUi::Current().ShowProgress(owner, kind, text);
    progressOpen = true;
}

void ShowAviCount(int done, int total)
{
    if (progressOpen) {
        IShellUi::Current().ShowProgressCount(done, total);
    }
}

void ShowAviOfferCancel()
{
    if (progressOpen) {
        IShellUi::Current().OfferProgressCancel();
    }
}

bool ShowAviCancelled()
{
    return progressOpen && IShellUi::Current().ProgressCancelled();
}

void DeactiveShowAvi()
{
    if (!progressOpen) {
        return;
    }
    // Marked closed first: should the shell fail to close its window, a later
    // call must not try again on a window that may be gone.
    progressOpen = false;
    IShellUi::Current().HideProgress();
}

bool ShowAviActive()
{
    return progressOpen;
}

void Procura(TDataSet* dataSet)
{
    if (dataSet == nullptr) {
        throw EInvalidOperation("There is no data set to search");
    }
    IShellUi::Current().Search(dataSet);
}
