#pragma once
// A scroll box: its children live on a content widget that is as large as the
// box or as their extent, whichever is larger, and scrolls when they overflow.
#include "shell/gui/ControlView.h"

#include <QScrollArea>

class ScrollBoxView : public QScrollArea, public ControlView {
    Q_OBJECT
public:
    ScrollBoxView(TControl* control, QWidget* parent, FormView* form, ControlView* parentView);

    void SyncFromModel() override;

protected:
    QWidget* ChildHost() override { return content_; }
    QPoint ChildOrigin() const override;
    void ChildGeometryChanged() override { UpdateExtent(); }
    void resizeEvent(QResizeEvent* event) override;

private:
    void UpdateExtent();

    QWidget* content_;
};
