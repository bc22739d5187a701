#include "widgets/Accessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeySequence>
#include <QLabel>
#include <QShortcut>
#include <QStatusBar>

namespace orbiqa {

namespace {

constexpr const char* kWindowRoleProperty = "orbiqaWindowRole";

QAccessibleInterface* WindowRoleFactory(const QString& /*className*/, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget || !widget->isWindow() || !widget->property(kWindowRoleProperty).toBool()) return nullptr;
    return new QAccessibleWidget(widget, QAccessible::Window);
}

}  // namespace

void ExposeAsWindow(QWidget* window) {
    static const bool installed = [] {
        QAccessible::installFactory(WindowRoleFactory);
        return true;
    }();
    (void)installed;
    window->setProperty(kWindowRoleProperty, true);
}

void SpeakStatusMessages(QStatusBar* bar, const QString& emptyName) {
    bar->setAccessibleName(emptyName);
    // setAccessibleName sends the name-changed event that screen readers announce.
    QObject::connect(bar, &QStatusBar::messageChanged, bar, [bar, emptyName](const QString& message) {
        bar->setAccessibleName(message.isEmpty() ? emptyName : message);
    });
}

void ExposeShownText(QLabel* label, const QString& description, QLabel* caption) {
    label->setAccessibleName(QString());
    label->setAccessibleDescription(description);
    if (caption) caption->setBuddy(label);
}

void ShowText(QLabel* label, const QString& text) {
    if (label->text() == text) return;
    label->setText(text);
    QAccessibleEvent changed(label, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&changed);
}

void CloseOnEscape(QWidget* window) {
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), window);
    escape->setObjectName("EscapeCloses");
    escape->setContext(Qt::WindowShortcut);
    QObject::connect(escape, &QShortcut::activated, window, &QWidget::close);
}

}  // namespace orbiqa
