// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/KeyAccessibility.h"

#include "expression/QueuedPress.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAccessibleWidget>
#include <QMenu>
#include <QMetaObject>

namespace tallyvox {

namespace {

constexpr const char *kAccessiblePanelProperty = "accessiblePanel";

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

// A container that lists only its shown children: hidden controls and
// panels (the scientific keys in the standard view, the empty ad strip) are
// not in the tree a screen reader walks.
class PanelAccessible final : public QAccessibleWidget {
public:
    explicit PanelAccessible(QWidget *panel) : QAccessibleWidget(panel, QAccessible::Grouping) {}

    int childCount() const override { return int(Shown().size()); }
    QAccessibleInterface *child(int index) const override
    {
        const QList<QWidget *> shown = Shown();
        return index >= 0 && index < shown.size() ? QAccessible::queryAccessibleInterface(shown[index]) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        return child ? int(Shown().indexOf(qobject_cast<QWidget *>(child->object()))) : -1;
    }

private:
    QList<QWidget *> Shown() const
    {
        QList<QWidget *> shown;
        for (QObject *o : widget()->children())
            if (auto *w = qobject_cast<QWidget *>(o);
                w && !w->isWindow() && !w->isHidden() && !qobject_cast<QMenu *>(w))
                shown << w;
        return shown;
    }
};

QAccessibleInterface *KeyFactory(const QString &className, QObject *object)
{
    if (object && object->isWidgetType() && object->property(kAccessiblePanelProperty).toBool())
        return new PanelAccessible(static_cast<QWidget *>(object));
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

void MarkAccessiblePanel(QWidget *panel)
{
    InstallKeyAccessibility();
    panel->setProperty(kAccessiblePanelProperty, true);
    // A widget announces itself while it is built and parented; an interface
    // made then would go on listing hidden children.
    QAccessibleInterface *cached = QAccessible::queryAccessibleInterface(panel);
    if (cached && !dynamic_cast<PanelAccessible *>(cached))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(cached));
}

} // namespace tallyvox
