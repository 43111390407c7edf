#include "shell/gui/SplitterView.h"

#include "platform/controls/TApplication.h"
#include "platform/controls/TCustomForm.h"
#include "platform/controls/TSplitter.h"
#include "platform/controls/TWinControl.h"
#include "shell/gui/GuiConvert.h"

#include <QMouseEvent>
#include <QPainter>
#include <QSettings>

#include <algorithm>
#include <cmath>

SplitterView::SplitterView(TSplitter* splitter, QWidget* parent, FormView* form, ControlView* parentView)
    : QWidget(parent), ControlView(splitter, this, form, parentView)
{
    setFocusPolicy(Qt::NoFocus);
    SyncFromModel();
}

bool SplitterView::Horizontal() const
{
    TControl* c = Control();
    return c == nullptr || c->Align() == TAlign::alLeft || c->Align() == TAlign::alRight;
}

void SplitterView::SyncFromModel()
{
    if (Control() == nullptr) {
        return;
    }
    ControlView::SyncFromModel();
    setCursor(Horizontal() ? Qt::SplitHCursor : Qt::SplitVCursor);
    update();
}

void SplitterView::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
}

void SplitterView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && Control() != nullptr && Control()->IsEnabledInChain()) {
        dragging_ = true;
        QPoint p = event->globalPosition().toPoint();
        dragFrom_ = Horizontal() ? p.x() : p.y();
    }
    event->accept();
}

void SplitterView::mouseMoveEvent(QMouseEvent* event)
{
    auto* splitter = static_cast<TSplitter*>(Control());
    if (!dragging_ || splitter == nullptr) {
        event->accept();
        return;
    }
    QPoint p = event->globalPosition().toPoint();
    int at = Horizontal() ? p.x() : p.y();
    int delta = at - dragFrom_;
    if (delta != 0) {
        int before = Horizontal() ? splitter->Left() : splitter->Top();
        Input([splitter, delta] { splitter->MoveBy(delta); });
        if (Control() != nullptr) {
            int moved = (Horizontal() ? splitter->Left() : splitter->Top()) - before;
            // The bar moves as far as the model let it; the rest of the
            // drag waits until the mouse comes back.
            dragFrom_ += moved;
        }
    }
    event->accept();
}

void SplitterView::mouseReleaseEvent(QMouseEvent* event)
{
    if (dragging_ && Share() >= 0) {
        QSettings().setValue(SettingsKey(), Share());
    }
    dragging_ = false;
    event->accept();
}

QString SplitterView::SettingsKey() const
{
    TControl* splitter = Control();
    TCustomForm* form = splitter != nullptr ? splitter->GetParentForm() : nullptr;
    std::string name = (form != nullptr ? form->Name() : std::string()) + "." + splitter->Name();
    return QStringLiteral("Splitters/") + GuiConvert::ToQt(name);
}

int SplitterView::Room(int* resized) const
{
    auto* splitter = static_cast<TSplitter*>(Control());
    TControl* side = splitter != nullptr ? splitter->ResizedControl() : nullptr;
    TWinControl* parent = splitter != nullptr ? splitter->Parent() : nullptr;
    if (side == nullptr || parent == nullptr) {
        return 0;
    }
    for (int i = 0; i < parent->ControlCount(); ++i) {
        TControl* rest = parent->Controls(i);
        if (rest->Align() == TAlign::alClient && rest->Visible()) {
            *resized = Horizontal() ? side->Width() : side->Height();
            return *resized + (Horizontal() ? rest->Width() : rest->Height());
        }
    }
    return 0;
}

double SplitterView::Share() const
{
    int resized = 0;
    int room = Room(&resized);
    return room > 0 ? static_cast<double>(resized) / room : -1;
}

void SplitterView::KeepShare()
{
    auto* splitter = static_cast<TSplitter*>(Control());
    int resized = 0;
    int room = splitter != nullptr ? Room(&resized) : 0;
    if (room <= 0) {
        return;
    }
    double share = std::clamp(QSettings().value(SettingsKey(), kDefaultShare).toDouble(), 0.0, 1.0);
    int delta = static_cast<int>(std::lround(share * room)) - resized;
    if (delta != 0) {
        Application().Dispatch([splitter, delta] { splitter->MoveBy(delta); });
    }
}
