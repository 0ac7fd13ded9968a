#include "ContentAccessibility.h"

#include "ElidedLabel.h"
#include "LastTenList.h"
#include "LastTenRow.h"
#include "LinkLabel.h"

#include <QAccessibleWidget>
#include <QKeySequence>

namespace {

// A widget that shows assistive technology a chosen list of its descendants as its children.
class ChosenChildren : public QAccessibleWidget
{
public:
    using QAccessibleWidget::QAccessibleWidget;

    int childCount() const override { return static_cast<int>(children().size()); }
    QAccessibleInterface *child(int index) const override
    {
        const QWidgetList list = children();
        if (index < 0 || index >= list.size())
            return nullptr;
        return QAccessible::queryAccessibleInterface(list.at(index));
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        if (child == nullptr)
            return -1;
        return static_cast<int>(children().indexOf(qobject_cast<QWidget *>(child->object())));
    }

protected:
    virtual QWidgetList children() const = 0;
};

class ListInterface : public ChosenChildren
{
public:
    explicit ListInterface(LastTenList *list)
        : ChosenChildren(list, QAccessible::List)
    { }

protected:
    QWidgetList children() const override
    {
        QWidgetList rows;
        for (LastTenRow *row : static_cast<LastTenList *>(widget())->rows())
            rows.append(row);
        return rows;
    }
};

// The row's name already says what its labels show and its thumbnail depicts, so its store
// link is its only child; the thumbnail is decoration.
class RowInterface : public ChosenChildren
{
public:
    explicit RowInterface(LastTenRow *row)
        : ChosenChildren(row, QAccessible::ListItem)
    { }

    // The list, past the scroll area's inner widgets.
    QAccessibleInterface *parent() const override
    {
        for (QWidget *up = widget()->parentWidget(); up; up = up->parentWidget()) {
            if (qobject_cast<LastTenList *>(up))
                return QAccessible::queryAccessibleInterface(up);
        }
        return QAccessibleWidget::parent();
    }

protected:
    QWidgetList children() const override
    {
        QWidgetList links;
        for (LinkLabel *link : widget()->findChildren<LinkLabel *>(Qt::FindDirectChildrenOnly))
            links.append(link);
        return links;
    }
};

// Text, or a link that can be pressed. Decided on every call: a link is still a plain label
// while its base class is built, which is when its interface may first be asked for.
class LabelInterface : public QAccessibleWidget
{
public:
    explicit LabelInterface(ElidedLabel *label)
        : QAccessibleWidget(label, QAccessible::StaticText)
    { }

    QAccessible::Role role() const override
    {
        return link() ? QAccessible::Link : QAccessible::StaticText;
    }
    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.linked = link() != nullptr;
        return state;
    }
    QStringList actionNames() const override
    {
        QStringList names = QAccessibleWidget::actionNames();
        if (link())
            names.prepend(pressAction());
        return names;
    }
    void doAction(const QString &name) override
    {
        if (LinkLabel *target = link(); target && name == pressAction())
            target->activate();
        else
            QAccessibleWidget::doAction(name);
    }
    QStringList keyBindingsForAction(const QString &name) const override
    {
        if (link() && name == pressAction())
            return { QKeySequence(Qt::Key_Return).toString() };
        return QAccessibleWidget::keyBindingsForAction(name);
    }

private:
    LinkLabel *link() const { return qobject_cast<LinkLabel *>(object()); }
};

QAccessibleInterface *contentInterface(const QString &, QObject *object)
{
    if (auto *list = qobject_cast<LastTenList *>(object))
        return new ListInterface(list);
    if (auto *row = qobject_cast<LastTenRow *>(object))
        return new RowInterface(row);
    if (auto *label = qobject_cast<ElidedLabel *>(object))
        return new LabelInterface(label);
    return nullptr;
}

} // namespace

void ContentAccessibility::install()
{
    static const bool installed = [] {
        QAccessible::installFactory(contentInterface);
        return true;
    }();
    Q_UNUSED(installed);
}
