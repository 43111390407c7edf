#include "shell/gui/LabelView.h"

#include "platform/controls/TLabel.h"
#include "shell/gui/GuiConvert.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QMouseEvent>

LabelView::LabelView(TLabel* label, QWidget* parent, FormView* form, ControlView* parentView)
    : QLabel(parent), ControlView(label, this, form, parentView)
{
    setFocusPolicy(Qt::NoFocus);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setTextFormat(Qt::PlainText);
    setMargin(0);
    setIndent(0);
    SyncFromModel();
}

void LabelView::SyncFromModel()
{
    auto* label = static_cast<TLabel*>(Control());
    if (label == nullptr) {
        return;
    }
    ControlView::SyncFromModel();
    QString text = GuiConvert::StripAccelerator(label->Caption());
    if (this->text() != text) {
        setText(text);
    }
    setAutoFillBackground(!label->Transparent() && label->Color() != clBtnFace);
    // An auto-sized label grows with its caption. A fixed one keeps its box;
    // a caption the stand-in font makes wider than the box is drawn a little
    // smaller rather than cut.
    if (label->AutoSize()) {
        int wanted = fontMetrics().horizontalAdvance(text);
        if (wanted > width()) {
            resize(wanted, height());
        }
    } else {
        QFont f = font();
        int pixels = QFontInfo(f).pixelSize();
        while (pixels > 8 && QFontMetrics(f).horizontalAdvance(text) > width()) {
            f.setPixelSize(--pixels);
        }
        if (f != font()) {
            setFont(f);
        }
    }
}

void LabelView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        auto* label = static_cast<TLabel*>(Control());
        Input([label] {
            if (label->IsEnabledInChain()) {
                label->Click();
            }
        });
    }
    event->accept();
}
