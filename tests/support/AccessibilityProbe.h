#pragma once

#include <QAccessible>
#include <QMetaEnum>
#include <QStringList>

// Reads a widget tree as assistive technology does, through QAccessible, and records the
// accessibility events the program sends. Main thread.
namespace AccessibilityProbe {

// Turns accessibility on in this process, as an assistive technology's arrival does; until
// then Qt drops every accessibility event before the update handler sees it.
void activate();

// "Role 'name'", then " checked" for a checked node; a focusable node without a name is marked
// " [unnamed]", an image without a description " [undescribed]".
inline QString describe(const QAccessibleInterface *node)
{
    const QAccessible::State state = node->state();
    QString line
        = QString::fromLatin1(QMetaEnum::fromType<QAccessible::Role>().valueToKey(node->role()))
        + u" '" + node->text(QAccessible::Name) + u'\'';
    if (state.checked)
        line += u" checked";
    if (state.focusable && node->text(QAccessible::Name).isEmpty())
        line += u" [unnamed]";
    if (node->role() == QAccessible::Graphic && node->text(QAccessible::Description).isEmpty())
        line += u" [undescribed]";
    return line;
}

inline QString describe(QObject *object)
{
    const QAccessibleInterface *node = QAccessible::queryAccessibleInterface(object);
    return node ? describe(node) : QStringLiteral("none");
}

// Every node under `root`, each as "ParentRole > " and its description; a child whose parent()
// or index does not lead back to where it was found is marked " [astray]".
inline QStringList tree(QAccessibleInterface *root)
{
    QStringList lines;
    const QMetaEnum roles = QMetaEnum::fromType<QAccessible::Role>();
    for (int index = 0; index < root->childCount(); ++index) {
        QAccessibleInterface *child = root->child(index);
        if (child == nullptr)
            continue;
        QString line
            = QString::fromLatin1(roles.valueToKey(root->role())) + u" > " + describe(child);
        if (child->parent() != root || root->indexOfChild(child) != index)
            line += u" [astray]";
        lines << line << tree(child);
    }
    return lines;
}

// Records, while it lives, every accessibility event as its type and the description of its
// object at the time.
class EventRecorder
{
public:
    EventRecorder()
        : m_previous(QAccessible::installUpdateHandler(&record))
    {
        events().clear();
    }
    ~EventRecorder() { QAccessible::installUpdateHandler(m_previous); }
    EventRecorder(const EventRecorder &) = delete;
    EventRecorder &operator=(const EventRecorder &) = delete;

    // The descriptions of the objects that sent `type`, oldest first; forgets all events.
    QStringList take(QAccessible::Event type)
    {
        QStringList seen;
        for (const auto &[eventType, line] : std::as_const(events())) {
            if (eventType == type)
                seen << line;
        }
        events().clear();
        return seen;
    }

private:
    static QList<std::pair<QAccessible::Event, QString>> &events()
    {
        static QList<std::pair<QAccessible::Event, QString>> list;
        return list;
    }
    static void record(QAccessibleEvent *event)
    {
        if (const QAccessibleInterface *node = event->accessibleInterface())
            events().append({ event->type(), describe(node) });
    }

    QAccessible::UpdateHandler m_previous;
};

} // namespace AccessibilityProbe
