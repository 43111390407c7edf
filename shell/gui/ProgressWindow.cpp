#include "shell/gui/ProgressWindow.h"

#include "shell/gui/ShellTexts.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

ProgressWindow::ProgressWindow(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      label_(new QLabel(this)),
      count_(new QLabel(this)),
      bar_(new QProgressBar(this)),
      cancel_(new QPushButton(this))
{
    setWindowTitle(ShellTexts::Text(ShellTexts::kWaitTitle));
    setModal(false);
    // It only informs: the focus stays in the screen.
    setAttribute(Qt::WA_ShowWithoutActivating);
    bar_->setTextVisible(false);
    label_->setAlignment(Qt::AlignCenter);
    count_->setAlignment(Qt::AlignCenter);
    count_->hide();
    cancel_->setAutoDefault(false);
    cancel_->hide();
    connect(cancel_, &QPushButton::clicked, this, &ProgressWindow::PressCancel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->addWidget(label_);
    layout->addWidget(count_);
    layout->addWidget(bar_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancel_);
    layout->addLayout(buttons);
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

QPoint ProgressWindow::Within(const QRect& frame, const QRect& area)
{
    const int right = std::max(area.left(), area.left() + area.width() - frame.width());
    const int bottom = std::max(area.top(), area.top() + area.height() - frame.height());
    return {std::clamp(frame.left(), area.left(), right), std::clamp(frame.top(), area.top(), bottom)};
}

void ProgressWindow::Place(QWidget* anchor)
{
    if (anchor == nullptr) {
        return;
    }
    QWidget* main = anchor->window();
    const QPoint centre = main->frameGeometry().center();
    QScreen* screen = QGuiApplication::screenAt(centre);
    if (screen == nullptr) {
        screen = main->screen();
    }
    QRect frame(QPoint(0, 0), frameGeometry().size());
    frame.moveCenter(centre);
    // A window places its frame, title bar included.
    move(screen != nullptr ? Within(frame, screen->availableGeometry()) : frame.topLeft());
}

void ProgressWindow::ShowText(const QString& text, QWidget* over)
{
    label_->setText(text);
    if (!isVisible()) {
        // A range of nothing makes the bar an endless busy indicator.
        bar_->setRange(0, 0);
        count_->hide();
        cancel_->hide();
        cancelOffered_ = false;
        cancelPressed_ = false;
        adjustSize();
        anchor_ = over != nullptr ? over : parentWidget();
        Place(anchor_);
        show();
        // Shown, the window knows its frame, title bar included.
        Place(anchor_);
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

void ProgressWindow::OfferCancel(const QString& cancelText)
{
    if (cancelOffered_) {
        return;
    }
    cancelOffered_ = true;
    cancel_->setText(cancelText);
    cancel_->setEnabled(true);
    cancel_->show();
    adjustSize();
    if (isVisible()) {
        Place(anchor_);
    }
}

void ProgressWindow::PressCancel()
{
    if (!cancelOffered_ || cancelPressed_) {
        return;
    }
    cancelPressed_ = true;
    // Taken: the command stops once the item in hand is done.
    cancel_->setEnabled(false);
}

void ProgressWindow::reject()
{
    PressCancel();
}

void ProgressWindow::closeEvent(QCloseEvent* event)
{
    // Only the command closes the window; without a Cancel offered the close
    // box does nothing.
    event->ignore();
    PressCancel();
}
