#include "shell/gui/ProgressWindow.h"

#include "shell/gui/ShellTexts.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

#include <algorithm>

ProgressWindow::ProgressWindow(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      label_(new QLabel(this)),
      count_(new QLabel(this)),
      bar_(new QProgressBar(this))
{
    setWindowTitle(ShellTexts::Text(ShellTexts::kWaitTitle));
    setModal(false);
    // It only informs: the focus stays in the screen.
    setAttribute(Qt::WA_ShowWithoutActivating);
    bar_->setTextVisible(false);
    label_->setAlignment(Qt::AlignCenter);
    count_->setAlignment(Qt::AlignCenter);
    count_->hide();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->addWidget(label_);
    layout->addWidget(count_);
    layout->addWidget(bar_);
    setMinimumWidth(320);
}

QString ProgressWindow::Text() const
{
    return label_->text();
}

QString ProgressWindow::CountText() const
{
    return count_->isVisibleTo(this) ? count_->text() : QString();
}

void ProgressWindow::ShowText(const QString& text, QWidget* over)
{
    label_->setText(text);
    if (!isVisible()) {
        // A range of nothing makes the bar an endless busy indicator.
        bar_->setRange(0, 0);
        count_->hide();
        adjustSize();
        QWidget* anchor = over != nullptr ? over : parentWidget();
        if (anchor != nullptr) {
            QPoint centre = anchor->mapToGlobal(anchor->rect().center());
            move(centre - rect().center());
        }
        show();
    }
    raise();
}

void ProgressWindow::ShowCount(int done, int total, const QString& countText)
{
    if (total <= 0) {
        return;
    }
    if (bar_->maximum() != total) {
        bar_->setRange(0, total);
    }
    // The item in hand is not done yet.
    bar_->setValue(std::clamp(done - 1, 0, total));
    count_->setText(countText);
    count_->show();
}
