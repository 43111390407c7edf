#pragma once
// A splitter bar: dragging it moves the model splitter (MoveBy), whose
// layout then moves the bar and resizes its neighbours.
//
// The two sides share the room: as the form is resized, the bar moves so
// that the control it resizes keeps its share of the width (or height) it
// and the client-aligned control have together, half of it until the
// operator drags the bar. The share the operator left is remembered
// (QSettings, group "Splitters", keyed by form and splitter).
#include "shell/gui/ControlView.h"

#include <QWidget>

class TSplitter;

class SplitterView : public QWidget, public ControlView {
    Q_OBJECT
public:
    SplitterView(TSplitter* splitter, QWidget* parent, FormView* form, ControlView* parentView);

    void SyncFromModel() override;
    // Moves the bar to the remembered share of the room the form has now.
    void KeepShare();
    // The resized control's share of the room now, or -1 when it has none.
    double Share() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool Horizontal() const;
    // The room both sides take: the resized control's and the
    // client-aligned one's width (or height); 0 when there is none.
    int Room(int* resized) const;
    QString SettingsKey() const;

    static constexpr double kDefaultShare = 0.5;
    bool dragging_ = false;
    int dragFrom_ = 0;
};
