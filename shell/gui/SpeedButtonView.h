#pragma once
// A flat speed button (toolbar, transfer and lookup buttons). A click never
// gives it the focus; the desktop shell's Tab may (KeyRouter), and then Space
// or Enter clicks it. A click, those keys or its keyboard shortcut run the
// model's OperatorClick, which a disabled button ignores. The glyph comes from GlyphPainter by the
// model's glyph name; a button without a known glyph shows its caption.
#include "shell/gui/ControlView.h"

#include <QPointer>
#include <QToolButton>

class QShortcut;
class TSpeedButton;

class SpeedButtonView : public QToolButton, public ControlView {
    Q_OBJECT
public:
    SpeedButtonView(TSpeedButton* Button, QWidget* parent, FormView* form, ControlView* parentView);
    ~SpeedButtonView() override;

    void SyncFromModel() override;
    // The keyboard shortcut in force, empty when there is none.
    QKeySequence ShortcutKeys() const;
    // The operator's click on the model's button.
    void OperatorClick();

protected:
    QString ToolTipText() const override;
    void Detach() override;

private:
    TSpeedButton* Button() const;

    std::string glyph_;
    QSize glyphSize_;
    QPointer<QShortcut> shortcut_;
};
