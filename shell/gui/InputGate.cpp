#include "shell/gui/InputGate.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <utility>

namespace {

bool IsInputType(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop: return true;
    default: return false;
    }
}

// Whether receiver belongs to the modal window that is open now.
bool InModalWindow(QObject* receiver)
{
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr) {
        return false;
    }
    if (auto* widget = qobject_cast<QWidget*>(receiver)) {
        return widget->window() == modal;
    }
    if (auto* window = qobject_cast<QWindow*>(receiver)) {
        return window == modal->windowHandle();
    }
    return false;
}

} // namespace

InputGate::InputGate(QObject* parent) : QObject(parent) {}

InputGate::~InputGate()
{
    OpenNow();
}

void InputGate::Close()
{
    openPending_ = false;
    if (!closed_) {
        closed_ = true;
        qApp->installEventFilter(this);
    }
}

void InputGate::OpenLater()
{
    if (!closed_ || openPending_) {
        return;
    }
    openPending_ = true;
    QTimer::singleShot(0, this, [this] {
        if (!openPending_) {
            // Closed again by a command that started meanwhile.
            return;
        }
        // Input that reached the queues before the command returned is
        // taken out of them and dropped.
        QCoreApplication::processEvents();
        if (openPending_) {
            OpenNow();
        }
    });
}

void InputGate::OpenNow()
{
    openPending_ = false;
    if (closed_) {
        closed_ = false;
        qApp->removeEventFilter(this);
    }
}

void InputGate::LeaveOpen(QWidget* window, std::function<void()> escape)
{
    open_ = window;
    escape_ = std::move(escape);
}

bool InputGate::InOpenWindow(QObject* receiver) const
{
    if (open_ == nullptr) {
        return false;
    }
    if (auto* widget = qobject_cast<QWidget*>(receiver)) {
        return widget->window() == open_;
    }
    if (auto* window = qobject_cast<QWindow*>(receiver)) {
        return window == open_->windowHandle();
    }
    return false;
}

bool InputGate::IsOperatorInput(QObject* receiver, QEvent* event)
{
    if (event->type() == QEvent::Close) {
        // Only the window system's close box: the shell's own closing of a
        // window goes on.
        return event->spontaneous() && !InModalWindow(receiver);
    }
    return IsInputType(event->type()) && !InModalWindow(receiver);
}

bool InputGate::eventFilter(QObject* watched, QEvent* event)
{
    if (closed_ && IsOperatorInput(watched, event)) {
        if (InOpenWindow(watched)) {
            return QObject::eventFilter(watched, event);
        }
        if (escape_ && event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape &&
            static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
            // A copy: the Cancel may close the way out while it runs.
            std::function<void()> escape = escape_;
            escape();
        }
        event->ignore();
        return true;
    }
    return QObject::eventFilter(watched, event);
}
