#include "PluginPanel.h"

#include <QCheckBox>
#include <QLabel>
#include <QLayout>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>

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

QStringList logViewLines(const QLayout* optionsLayout, quint32 channel)
{
    QWidget* tab = channelTab(optionsLayout, channel);
    const auto* view = tab ? tab->findChild<QTextBrowser*>(QStringLiteral("tbLog")) : nullptr;
    QStringList lines;
    if (!view)
        return lines;
    for (QTextBlock block = view->document()->begin(); block.isValid(); block = block.next())
        if (!block.text().isEmpty())
            lines << block.text();
    return lines;
}

QString virtualPortPath(const QLayout* optionsLayout, quint32 channel)
{
    QWidget* tab = channelTab(optionsLayout, channel);
    const QLabel* path = tab ? tab->findChild<QLabel*>(QStringLiteral("lbVirtualPath")) : nullptr;
    return path ? path->text() : QString();
}
