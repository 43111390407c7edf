#pragma once
// A grid's column titles with a line above them that says how many rows the
// grid shows ("12 services"). The line is part of the header, so the grid's
// own layout (viewport, scroll bars) is Qt's as it stands; a click on the
// line is no click on a title.
#include <QHeaderView>

class QLabel;

class CountedHeader : public QHeaderView {
    Q_OBJECT
public:
    explicit CountedHeader(QWidget* parent = nullptr);

    QLabel* Count() const { return count_; }
    void SetCount(int rows);
    QSize sizeHint() const override;

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int LineHeight() const;

    QLabel* count_;
};
