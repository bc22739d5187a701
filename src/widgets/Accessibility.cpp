#include "widgets/Accessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeySequence>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTabWidget>

namespace orbiqa {

namespace {

constexpr const char* kWindowRoleProperty = "orbiqaWindowRole";
constexpr const char* kLevelProperty = "orbiqaLevel";
constexpr const char* kPlainProperty = "orbiqaPlainContainer";

QAccessibleInterface* PlainContainerFactory(const QString& /*className*/, QObject* object) {
    auto* widget = qobject_cast<QStackedWidget*>(object);
    if (!widget || !widget->property(kPlainProperty).toBool()) return nullptr;
    return new QAccessibleWidget(widget, QAccessible::Client);
}

class LevelAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit LevelAccessible(QProgressBar* bar) : QAccessibleWidget(bar, QAccessible::Slider) {}
    QProgressBar* bar() const { return static_cast<QProgressBar*>(widget()); }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) return QString::number(bar()->value());
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = true;
        return s;
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QVariant currentValue() const override { return bar()->value(); }
    void setCurrentValue(const QVariant&) override {}
    QVariant maximumValue() const override { return bar()->maximum(); }
    QVariant minimumValue() const override { return bar()->minimum(); }
    QVariant minimumStepSize() const override { return 1; }
};

QAccessibleInterface* LevelFactory(const QString& /*className*/, QObject* object) {
    auto* bar = qobject_cast<QProgressBar*>(object);
    if (!bar || !bar->property(kLevelProperty).toBool()) return nullptr;
    return new LevelAccessible(bar);
}

class EnterPresses : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        const auto chord = key->modifiers() & ~Qt::KeypadModifier;
        auto* button = qobject_cast<QPushButton*>(watched);
        if (!enter || chord != Qt::NoModifier || !button || !button->isEnabled()) return false;
        if (!key->isAutoRepeat()) button->click();
        return true;
    }
};

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

void PressButtonsOnEnter(QWidget* window) {
    auto* filter = new EnterPresses(window);
    for (QPushButton* button : window->findChildren<QPushButton*>()) button->installEventFilter(filter);
}

void ExposeAsLevel(QProgressBar* bar) {
    static const bool installed = [] {
        QAccessible::installFactory(LevelFactory);
        return true;
    }();
    (void)installed;
    bar->setProperty(kLevelProperty, true);
}

void HidePageStack(QTabWidget* pages) {
    static const bool installed = [] {
        QAccessible::installFactory(PlainContainerFactory);
        return true;
    }();
    (void)installed;
    if (auto* stack = pages->findChild<QStackedWidget*>(QString(), Qt::FindDirectChildrenOnly))
        stack->setProperty(kPlainProperty, true);
}

void CloseOnEscape(QWidget* window) {
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), window);
    escape->setObjectName("EscapeCloses");
    escape->setContext(Qt::WindowShortcut);
    QObject::connect(escape, &QShortcut::activated, window, &QWidget::close);
}

}  // namespace orbiqa
