#include "shell/gui/SpeedButtonView.h"

#include "host/TBtnPesquisa.h"
#include "platform/controls/TSpeedButton.h"
#include "shell/gui/FormSurface.h"
#include "shell/gui/FormView.h"
#include "shell/gui/GlyphPainter.h"
#include "shell/gui/GuiConvert.h"
#include "shell/gui/ShellTexts.h"

#include <QShortcut>

#include <algorithm>

SpeedButtonView::SpeedButtonView(TSpeedButton* Button, QWidget* parent, FormView* form, ControlView* parentView)
    : QToolButton(parent), ControlView(Button, this, form, parentView)
{
    setFocusPolicy(Qt::NoFocus);
    form->RouteKeys(this);
    connect(this, &QToolButton::clicked, this, [this] { OperatorClick(); });
    SyncFromModel();
}

SpeedButtonView::~SpeedButtonView()
{
    delete shortcut_.data();
}

TSpeedButton* SpeedButtonView::Button() const
{
    return static_cast<TSpeedButton*>(Control());
}

void SpeedButtonView::Detach()
{
    delete shortcut_.data();
}

void SpeedButtonView::OperatorClick()
{
    TSpeedButton* button = Button();
    Input([button] { button->OperatorClick(); });
}

QKeySequence SpeedButtonView::ShortcutKeys() const
{
    return shortcut_ != nullptr ? shortcut_->key() : QKeySequence();
}

QString SpeedButtonView::ToolTipText() const
{
    TSpeedButton* button = Button();
    if (auto* lookup = dynamic_cast<TBtnPesquisa*>(button); lookup != nullptr && lookup->Associate() != nullptr) {
        // The keys that open the lookup from its edit.
        return ShellTexts::Text(ShellTexts::kLookupKeyHint, {button->Hint()});
    }
    if (!button->Hint().empty()) {
        return GuiConvert::ToQt(button->Hint());
    }
    return QKeySequence::fromString(GuiConvert::ToQt(button->ShortCut()), QKeySequence::PortableText)
        .toString(QKeySequence::NativeText);
}

void SpeedButtonView::SyncFromModel()
{
    TSpeedButton* button = Button();
    if (button == nullptr) {
        return;
    }
    ControlView::SyncFromModel();
    setAutoRaise(button->Flat());
    int side = std::clamp(std::min(button->Width(), button->Height()) - 6, 8, 16);
    QSize glyphSize(side, side);
    if (GlyphPainter::Known(button->Glyph())) {
        if (glyph_ != button->Glyph() || glyphSize_ != glyphSize) {
            glyph_ = button->Glyph();
            glyphSize_ = glyphSize;
            setIcon(GlyphPainter::Icon(glyph_, glyphSize_));
            setIconSize(glyphSize_);
        }
        setToolButtonStyle(Qt::ToolButtonIconOnly);
    } else {
        glyph_.clear();
        setIcon(QIcon());
        setText(GuiConvert::StripAccelerator(button->Caption()));
        setToolButtonStyle(Qt::ToolButtonTextOnly);
    }
    QKeySequence keys = QKeySequence::fromString(GuiConvert::ToQt(button->ShortCut()), QKeySequence::PortableText);
    if (keys.isEmpty()) {
        delete shortcut_.data();
    } else if (shortcut_ == nullptr || shortcut_->key() != keys) {
        delete shortcut_.data();
        // The shortcut works wherever the focus is on the button's form.
        shortcut_ = new QShortcut(keys, Form()->Surface(), nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
        connect(shortcut_, &QShortcut::activated, this, [this] { OperatorClick(); });
    }
}
