#include "forms/ui/Decorative.h"

#include <QAccessibleWidget>
#include <QVariant>
#include <QWidget>

namespace {
constexpr char decorativeProperty[] = "parvelDecorative";

class DecorativeAccessible : public QAccessibleWidget
{
public:
    explicit DecorativeAccessible(QWidget *widget)
        : QAccessibleWidget(widget, QAccessible::StaticText)
    { }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.invisible = true;
        return state;
    }
    QString text(QAccessible::Text) const override { return {}; }
};

QAccessibleInterface *decorativeFactory(const QString &, QObject *object)
{
    auto *widget = qobject_cast<QWidget *>(object);
    if (widget && widget->property(decorativeProperty).toBool())
        return new DecorativeAccessible(widget);
    return nullptr;
}
} // namespace

void HideFromScreenReaders(QWidget &widget)
{
    // Factories installed later are asked first, so this one comes before the widgets' own.
    static const bool installed = [] {
        QAccessible::installFactory(decorativeFactory);
        return true;
    }();
    Q_UNUSED(installed);
    widget.setProperty(decorativeProperty, true);
    widget.setAccessibleName(QString());
    // An interface made before (while the widget was built) would go on speaking for it.
    QAccessibleInterface *made = QAccessible::queryAccessibleInterface(&widget);
    if (made && !dynamic_cast<DecorativeAccessible *>(made))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
}
