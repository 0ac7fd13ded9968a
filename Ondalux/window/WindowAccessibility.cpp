#include "WindowAccessibility.h"

#include "MacRootView.h"
#include "NowPlayingArtwork.h"
#include "StationPicker.h"

#include <QAbstractButton>
#include <QAccessibleWidget>

namespace {

// A segment acts as a radio button: one choice of the picker's, checked while selected.
class SegmentInterface : public QAccessibleWidget
{
public:
    explicit SegmentInterface(QAbstractButton *segment)
        : QAccessibleWidget(segment, QAccessible::RadioButton)
    { }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.checkable = true;
        state.checked = segment()->isChecked();
        return state;
    }
    QStringList actionNames() const override
    {
        return QStringList{ pressAction() } + QAccessibleWidget::actionNames();
    }
    void doAction(const QString &name) override
    {
        if (name == pressAction())
            segment()->click();
        else
            QAccessibleWidget::doAction(name);
    }

private:
    QAbstractButton *segment() const { return static_cast<QAbstractButton *>(widget()); }
};

// The view is the program's window when shown on its own, and is announced as one.
class RootInterface : public QAccessibleWidget
{
public:
    explicit RootInterface(MacRootView *view)
        : QAccessibleWidget(view)
    { }

    QAccessible::Role role() const override
    {
        return widget()->isWindow() ? QAccessible::Window : QAccessible::Client;
    }
};

QAccessibleInterface *windowInterface(const QString &, QObject *object)
{
    if (auto *view = qobject_cast<MacRootView *>(object))
        return new RootInterface(view);
    if (auto *picker = qobject_cast<StationPicker *>(object))
        return new QAccessibleWidget(picker, QAccessible::Grouping);
    if (auto *segment = qobject_cast<QAbstractButton *>(object);
        segment && qobject_cast<StationPicker *>(segment->parent()))
        return new SegmentInterface(segment);
    if (auto *artwork = qobject_cast<NowPlayingArtwork *>(object))
        return new QAccessibleWidget(artwork, QAccessible::Graphic);
    return nullptr;
}

} // namespace

void WindowAccessibility::install()
{
    static const bool installed = [] {
        QAccessible::installFactory(windowInterface);
        return true;
    }();
    Q_UNUSED(installed);
}
