#include "shell/gui/CountedHeader.h"

#include "shell/gui/ShellTexts.h"

#include <QLabel>
#include <QPainter>

#include <string>

CountedHeader::CountedHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent), count_(new QLabel(this))
{
    count_->setAttribute(Qt::WA_NoMousePropagation);
    count_->setAutoFillBackground(true);
    count_->setBackgroundRole(QPalette::Base);
    count_->setIndent(2);
    SetCount(0);
}

int CountedHeader::LineHeight() const
{
    return fontMetrics().height() + 4;
}

void CountedHeader::SetCount(int rows)
{
    count_->setText(rows == 1 ? ShellTexts::Text(ShellTexts::kCountOne)
                              : ShellTexts::Text(ShellTexts::kCount, {std::to_string(rows)}));
}

QSize CountedHeader::sizeHint() const
{
    QSize size = QHeaderView::sizeHint();
    size.setHeight(size.height() + LineHeight());
    return size;
}

void CountedHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const
{
    // The titles take the part below the count's line.
    QHeaderView::paintSection(painter, rect.adjusted(0, LineHeight(), 0, 0), logicalIndex);
}

void CountedHeader::resizeEvent(QResizeEvent* event)
{
    QHeaderView::resizeEvent(event);
    count_->setGeometry(0, 0, width(), LineHeight());
}
