#include "PluginPanel.h"

#include <QCheckBox>
#include <QLayout>
#include <QTabWidget>

QCheckBox* viewLogBox(const QLayout* optionsLayout, quint32 channel)
{
    if (!optionsLayout)
        return nullptr;
    for (int i = 0; i < optionsLayout->count(); ++i) {
        const auto* tabs = qobject_cast<const QTabWidget*>(optionsLayout->itemAt(i)->widget());
        if (tabs && channel < quint32(tabs->count()))
            return tabs->widget(int(channel))->findChild<QCheckBox*>(QStringLiteral("chbLog"));
    }
    return nullptr;
}
