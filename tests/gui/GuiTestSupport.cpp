#include "GuiTestSupport.h"

#include "platform/core/Cp1252.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QSettings>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <cstdlib>

namespace GuiTest {

void EnsureApp()
{
    if (QApplication::instance() != nullptr) {
        return;
    }
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    // Settings the windows save go to a folder of the test run's own, never
    // to the user's configuration.
    static QTemporaryDir settings;
    setenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit().constData(), 1);
    static int argc = 1;
    static char name[] = "gui_tests";
    static char* argv[] = {name, nullptr};
    auto* app = new QApplication(argc, argv); // lives as long as the program
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
    QApplication::setOrganizationName("servcliente-tests");
    QApplication::setApplicationName("gui_tests");
    (void)app;
}

void Mouse(QWidget* Widget, int Type, QPoint Pos, Qt::MouseButton Button, Qt::KeyboardModifiers Modifiers)
{
    auto type = static_cast<QEvent::Type>(Type);
    Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Button);
    QMouseEvent event(type, QPointF(Pos), QPointF(Widget->mapToGlobal(Pos)),
                      type == QEvent::MouseMove ? Qt::NoButton : Button, buttons, Modifiers);
    QApplication::sendEvent(Widget, &event);
}

void Click(QWidget* Widget, QPoint Pos, Qt::KeyboardModifiers Modifiers)
{
    Mouse(Widget, QEvent::MouseButtonPress, Pos, Qt::LeftButton, Modifiers);
    Mouse(Widget, QEvent::MouseButtonRelease, Pos, Qt::LeftButton, Modifiers);
}

void DoubleClick(QWidget* Widget, QPoint Pos)
{
    Click(Widget, Pos);
    Mouse(Widget, QEvent::MouseButtonDblClick, Pos);
    Mouse(Widget, QEvent::MouseButtonRelease, Pos);
}

void Type(QWidget* Widget, const QString& Text)
{
    for (QChar ch : Text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(Widget, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(Widget, &release);
    }
}

void Settle()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

ModalDriver::ModalDriver(std::function<void(QWidget*)> Act) : act_(std::move(Act)), timer_(new QTimer)
{
    timer_->setInterval(0);
    QObject::connect(timer_, &QTimer::timeout, [this] {
        QWidget* modal = QApplication::activeModalWidget();
        // Marked once acted on: a later window may come at the same address.
        if (modal == nullptr || !modal->isVisible()) {
            return;
        }
        if (!modal->property("guiTestSeen").toBool()) {
            modal->setProperty("guiTestSeen", true);
            ++count_;
            act_(modal);
        } else if (!modal->property("guiTestForced").toBool()) {
            // Still open a turn after it was acted on: the act did not close
            // it. Close it, so that the test fails instead of waiting.
            modal->setProperty("guiTestForced", true);
            ++unclosed_;
            modal->close();
        }
    });
    timer_->start();
}

ModalDriver::~ModalDriver()
{
    delete timer_;
}

std::string Cp(const char* utf8)
{
    return Cp1252::FromUtf8(utf8);
}

} // namespace GuiTest
