#pragma once
// A splitter bar: dragging it moves the model splitter (MoveBy), whose
// layout then moves the bar and resizes its neighbours.
#include "shell/gui/ControlView.h"

#include <QWidget>

class TSplitter;

class SplitterView : public QWidget, public ControlView {
    Q_OBJECT
public:
    SplitterView(TSplitter* splitter, QWidget* parent, FormView* form, ControlView* parentView);

    void SyncFromModel() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool Horizontal() const;

    bool dragging_ = false;
    int dragFrom_ = 0;
};
