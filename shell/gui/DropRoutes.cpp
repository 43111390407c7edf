#include "shell/gui/DropRoutes.h"

#include "platform/controls/TControl.h"
#include "platform/controls/TCustomForm.h"
#include "platform/controls/TSpeedButton.h"

#include <QMimeData>

#include <array>

namespace {

struct Route {
    const char* source;
    const char* target;
    const char* button;
};

// The service transfer screen's lists and the buttons that move between them.
constexpr std::array<Route, 2> kRoutes{{
    {"lsbPossiveis", "dbgPadrao", "sbtEscolhido"},
    {"dbgPadrao", "lsbPossiveis", "sbtUmEsquerda"},
}};

QString FormName(const TControl* control)
{
    TCustomForm* form = control != nullptr ? control->GetParentForm() : nullptr;
    return form != nullptr ? QString::fromStdString(form->Name()) : QString();
}

} // namespace

const char* const DropRoutes::kMimeType = "application/x-servcliente-control";

bool DropRoutes::IsSource(const TControl* Source)
{
    if (Source == nullptr || Source->GetParentForm() == nullptr) {
        return false;
    }
    for (const Route& r : kRoutes) {
        if (Source->Name() == r.source) {
            return true;
        }
    }
    return false;
}

QMimeData* DropRoutes::Encode(const TControl* Source)
{
    auto* mime = new QMimeData;
    QString text = FormName(Source) + '/' + QString::fromStdString(Source != nullptr ? Source->Name() : "");
    mime->setData(kMimeType, text.toUtf8());
    return mime;
}

TSpeedButton* DropRoutes::ButtonFor(const QMimeData* mime, const TControl* target)
{
    if (mime == nullptr || target == nullptr || !mime->hasFormat(kMimeType)) {
        return nullptr;
    }
    TCustomForm* form = target->GetParentForm();
    if (form == nullptr) {
        return nullptr;
    }
    QString text = QString::fromUtf8(mime->data(kMimeType));
    int slash = text.indexOf('/');
    if (slash < 0 || text.left(slash) != FormName(target)) {
        return nullptr;
    }
    std::string source = text.mid(slash + 1).toStdString();
    for (const Route& r : kRoutes) {
        if (source == r.source && target->Name() == r.target) {
            return dynamic_cast<TSpeedButton*>(form->FindComponent(r.button));
        }
    }
    return nullptr;
}

TSpeedButton* DropRoutes::EnabledButtonFor(const QMimeData* mime, const TControl* target)
{
    TSpeedButton* button = ButtonFor(mime, target);
    return button != nullptr && button->IsEnabledInChain() && button->IsShowing() ? button : nullptr;
}
