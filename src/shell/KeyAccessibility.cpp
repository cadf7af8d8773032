// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/KeyAccessibility.h"

#include "expression/QueuedPress.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAccessibleWidget>
#include <QMetaObject>

namespace tallyvox {

namespace {

// QAccessibleWidget already answers the action interface; the press is ours.
class KeyAccessible final : public QAccessibleWidget {
public:
    explicit KeyAccessible(QAbstractButton *key) : QAccessibleWidget(key, QAccessible::Button) {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name) {
            const QString name = key()->accessibleName();
            return name.isEmpty() ? key()->text() : name;
        }
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.focusable = false;
        if (key()->isCheckable()) {
            s.checkable = true;
            s.checked = key()->isChecked();
        }
        s.pressed = key()->isDown();
        return s;
    }

    QStringList actionNames() const override { return {pressAction()}; }
    QStringList keyBindingsForAction(const QString &) const override { return {}; }

    void doAction(const QString &action) override
    {
        if (action != pressAction() || !key()->isEnabled())
            return;
        // Queued: the call returns before the key's handler runs.
        QMetaObject::invokeMethod(key(), &QAbstractButton::click, Qt::QueuedConnection);
    }

private:
    QAbstractButton *key() const { return static_cast<QAbstractButton *>(object()); }
};

QAccessibleInterface *KeyFactory(const QString &className, QObject *object)
{
    const bool key = className == QLatin1String("QToolButton") && object && object->property("Tag").isValid();
    const bool marked =
        className == QLatin1String("QPushButton") && object && object->property(kQueuedPressProperty).toBool();
    if (!key && !marked)
        return nullptr;
    return new KeyAccessible(static_cast<QAbstractButton *>(object));
}

} // namespace

void InstallKeyAccessibility()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    QAccessible::installFactory(&KeyFactory);
}

} // namespace tallyvox
