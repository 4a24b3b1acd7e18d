#include "PluginPanel.h"

#include <QCheckBox>
#include <QLabel>
#include <QLayout>
#include <QTabWidget>

namespace
{

// Channel `channel`'s tab, or null when the layout holds no such tab.
QWidget* channelTab(const QLayout* optionsLayout, quint32 channel)
{
    if (!optionsLayout)
        return nullptr;
    for (int i = 0; i < optionsLayout->count(); ++i) {
        const auto* tabs = qobject_cast<const QTabWidget*>(optionsLayout->itemAt(i)->widget());
        if (tabs && channel < quint32(tabs->count()))
            return tabs->widget(int(channel));
    }
    return nullptr;
}

} // namespace

QCheckBox* viewLogBox(const QLayout* optionsLayout, quint32 channel)
{
    QWidget* tab = channelTab(optionsLayout, channel);
    return tab ? tab->findChild<QCheckBox*>(QStringLiteral("chbLog")) : nullptr;
}

QString virtualPortPath(const QLayout* optionsLayout, quint32 channel)
{
    QWidget* tab = channelTab(optionsLayout, channel);
    const QLabel* path = tab ? tab->findChild<QLabel*>(QStringLiteral("lbVirtualPath")) : nullptr;
    return path ? path->text() : QString();
}
