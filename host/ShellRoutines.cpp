#include "host/ShellRoutines.h"

#include "host/IShellUi.h"
#include "host/Session.h"
#include "platform/ErrorSink.h"
#include "platform/Exception.h"

TCustomForm* frmProcurar = nullptr;

namespace {

bool IsBlankChar(char c)
{
    auto u = static_cast<unsigned char>(c);
    return u <= 0x20 || u == 0x7F || u == 0xA0;
}

bool progressOpen = false;

} // namespace

bool EmptyString(std::string_view Text)
{
    for (char c : Text) {
        if (!IsBlankChar(c)) {
            return false;
        }
    }
    return true;
}

std::string Ajusta(std::string_view Text, int Width)
{
    std::size_t b = 0;
    std::size_t e = Text.size();
    while (b < e && IsBlankChar(Text[b])) {
        ++b;
    }
    while (e > b && IsBlankChar(Text[e - 1])) {
        --e;
    }
    std::string trimmed(Text.substr(b, e - b));
    if (trimmed.empty() || Width <= 0 || trimmed.size() >= static_cast<std::size_t>(Width)) {
        return trimmed;
    }
    return std::string(static_cast<std::size_t>(Width) - trimmed.size(), '0') + trimmed;
}

std::string Ajusta_Inscricao(std::string& Text)
{
    std::string digits;
    digits.reserve(Text.size());
    for (char c : Text) {
        if (c >= '0' && c <= '9') {
            digits += c;
        }
    }
    Text = digits;
    return Text;
}

std::string PictPess(std::string_view Kind)
{
    std::size_t b = 0;
    std::size_t e = Kind.size();
    while (b < e && IsBlankChar(Kind[b])) {
        ++b;
    }
    while (e > b && IsBlankChar(Kind[e - 1])) {
        --e;
    }
    if (e - b == 1) {
        char k = Kind[b];
        if (k == 'F' || k == 'f') {
            return "999.999.999-99;0;_";
        }
        if (k == 'J' || k == 'j') {
            return "99.999.999/9999-99;0;_";
        }
    }
    return "99999999999999999999;0;_";
}

void MensErro(const std::string& Text, bool Raise)
{
    ErrorSink::Show(Text);
    if (Raise) {
        throw EAbort();
    }
}

bool CheckResultServ(const Variant& Answer, bool Raise, int Code)
{
    std::string message;
    switch (Answer.GetKind()) {
    case Variant::Kind::String:
        message = Answer.AsString();
        break;
    case Variant::Kind::Bool:
        if (!Answer.AsBool()) {
            message = "The application server refused the operation";
        }
        break;
    case Variant::Kind::Null:
    case Variant::Kind::Int:
    case Variant::Kind::Packet:
        break;
    }
    if (message.empty()) {
        return true;
    }
    if (Code != 0) {
        message += " (" + std::to_string(Code) + ")";
    }
    MensErro(message, Raise);
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

void ActiveShowAvi(TComponent* Owner, int Kind, const std::string& Text)
{
    IShellUi::Current().ShowProgress(Owner, Kind, Text);
    progressOpen = true;
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

void Procura(TDataSet* DataSet)
{
    if (DataSet == nullptr) {
        throw EInvalidOperation("There is no data set to search");
    }
    IShellUi::Current().Search(DataSet);
}
