#include "shell/gui/ProgressWindow.h"

#include "shell/gui/ShellTexts.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

ProgressWindow::ProgressWindow(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      label_(new QLabel(this)),
      bar_(new QProgressBar(this))
{
    setWindowTitle(ShellTexts::Text(ShellTexts::kWaitTitle));
    setModal(false);
    // It only informs: the focus stays in the screen.
    setAttribute(Qt::WA_ShowWithoutActivating);
    // A range of nothing makes the bar an endless busy indicator.
    bar_->setRange(0, 0);
    bar_->setTextVisible(false);
    label_->setAlignment(Qt::AlignCenter);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->addWidget(label_);
    layout->addWidget(bar_);
    setMinimumWidth(320);
}

QString ProgressWindow::Text() const
{
    return label_->text();
}

void ProgressWindow::ShowText(const QString& text, QWidget* over)
{
    label_->setText(text);
    if (!isVisible()) {
        adjustSize();
        QWidget* anchor = over != nullptr ? over : parentWidget();
        if (anchor != nullptr) {
            QPoint centre = anchor->mapToGlobal(anchor->rect().center());
            move(centre - rect().center());
        }
        show();
    }
    raise();
    // The call that follows blocks until the server answers: paint now.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}
