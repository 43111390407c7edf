#include "shell/gui/PanelView.h"

#include "platform/controls/TPanel.h"
#include "shell/gui/GuiConvert.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>

namespace {

// One bevel ring of one pixel: raised is light on the top and left edges,
// lowered the other way round.
void DrawBevel(QPainter& painter, QRect& r, TBevelCut cut, const QPalette& palette)
{
    if (cut == TBevelCut::bvNone || r.width() < 2 || r.height() < 2) {
        return;
    }
    if (cut != TBevelCut::bvSpace) {
        QColor light = palette.color(QPalette::Light);
        QColor dark = palette.color(QPalette::Dark);
        QColor topLeft = cut == TBevelCut::bvRaised ? light : dark;
        QColor bottomRight = cut == TBevelCut::bvRaised ? dark : light;
        painter.setPen(topLeft);
        painter.drawLine(r.left(), r.top(), r.right(), r.top());
        painter.drawLine(r.left(), r.top(), r.left(), r.bottom());
        painter.setPen(bottomRight);
        painter.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
        painter.drawLine(r.right(), r.top(), r.right(), r.bottom());
    }
    r.adjust(1, 1, -1, -1);
}

} // namespace

PanelView::PanelView(TControl* control, QWidget* parent, FormView* form, ControlView* parentView)
    : QWidget(parent), ControlView(control, this, form, parentView)
{
    setFocusPolicy(Qt::NoFocus);
    SyncFromModel();
    SyncChildren();
}

void PanelView::SyncFromModel()
{
    if (Control() == nullptr) {
        return;
    }
    ControlView::SyncFromModel();
    update();
}

void PanelView::paintEvent(QPaintEvent* /*event*/)
{
    TControl* control = Control();
    if (control == nullptr) {
        return;
    }
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    auto* panel = dynamic_cast<TPanel*>(control);
    if (panel == nullptr) {
        return;
    }
    QRect r = rect();
    DrawBevel(painter, r, panel->BevelOuter(), palette());
    r.adjust(panel->BorderWidth(), panel->BorderWidth(), -panel->BorderWidth(), -panel->BorderWidth());
    DrawBevel(painter, r, panel->BevelInner(), palette());
    if (!panel->Caption().empty()) {
        painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
        painter.drawText(rect(), Qt::AlignCenter, GuiConvert::StripAccelerator(panel->Caption()));
    }
}

void PanelView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        TControl* control = Control();
        Input([control] {
            if (control->IsEnabledInChain()) {
                control->Click();
            }
        });
    }
    event->accept();
}

void PanelView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        TControl* control = Control();
        Input([control] {
            if (control->IsEnabledInChain()) {
                control->DblClick();
            }
        });
    }
    event->accept();
}
