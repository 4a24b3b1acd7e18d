// Control's settings: the panel's state saved to and restored from the host's QSettings.
// "Options<index>" keeps every combo box by row; "RX<index>" keeps the port names by name (as
// Latin-1 bytes) and the other boxes by row. Restoring sets the widgets, which fire the same
// signals as a user's clicks: the panel flags follow and ports open, each with the name and
// parameters restored before it in table order. GUI thread only.

#include "Control.h"

#include "Options.h"

#include <QCheckBox>
#include <QComboBox>
#include <QSettings>

#include <optional>

namespace
{

enum class Kind { CheckBox, ComboBox, PortName };

// One stored widget of the panel, by object name, with its default in the "Options" group.
struct Setting {
    const char* key;
    const char* widget;
    Kind kind;
    int optionsDefault; // checked state or row
};

// The stored keys, in the order they are written and read.
constexpr Setting storedKeys[] = {
    {"AntSw", "chbAntSw", Kind::CheckBox, false},
    {"EnableFR", "chbFR", Kind::CheckBox, true},
    {"Name", "cbPortName", Kind::PortName, 0},
    {"Parity", "cbParity", Kind::ComboBox, 0},
    {"Data", "cbData", Kind::ComboBox, 3},
    {"StopBit", "cbStopBit", Kind::ComboBox, 0},
    {"BoudRate", "cbBoudRate", Kind::ComboBox, 3},
    {"PttLine", "cbPttLine", Kind::ComboBox, 0},
    {"KeyLine", "cbKeyLine", Kind::ComboBox, 0},
    {"Enable", "chbEnable", Kind::CheckBox, false},
    {"PttName", "cbPortNamePTT", Kind::PortName, 0},
    {"DTR", "chbDTR", Kind::CheckBox, false},
    {"RTS", "chbRTS", Kind::CheckBox, false},
    {"EnablePtt", "chbEnablePtt", Kind::CheckBox, false},
    {"PttNameFootSw", "cbPortNameFootSwitch", Kind::PortName, 0},
    {"DTR_FootSw", "chbDTR_FootSwitch", Kind::CheckBox, false},
    {"RTS_FootSw", "chbRTS_FootSwitch", Kind::CheckBox, false},
    {"EnableFootSw", "chbEnableFootswitch", Kind::CheckBox, false},
};

enum class Group { Options, Rx };

// Opens the channel's inner group for the lifetime of the object.
class InnerGroup
{
public:
    InnerGroup(QSettings* settings, Group group, quint32 index) : m_settings(settings)
    {
        const QLatin1String prefix =
            group == Group::Options ? QLatin1String("Options") : QLatin1String("RX");
        settings->beginGroup(prefix + QString::number(index));
    }
    ~InnerGroup() { m_settings->endGroup(); }
    InnerGroup(const InnerGroup&) = delete;
    InnerGroup& operator=(const InnerGroup&) = delete;

private:
    QSettings* m_settings;
};

QCheckBox* checkBox(const Options* form, const Setting& setting)
{
    return form->findChild<QCheckBox*>(QLatin1String(setting.widget));
}

QComboBox* comboBox(const Options* form, const Setting& setting)
{
    return form->findChild<QComboBox*>(QLatin1String(setting.widget));
}

QVariant storedValue(const Options* form, const Setting& setting, Group group)
{
    if (setting.kind == Kind::CheckBox)
        return checkBox(form, setting)->isChecked();
    const QComboBox* box = comboBox(form, setting);
    if (setting.kind == Kind::PortName && group == Group::Rx)
        return box->currentText().toLatin1();
    return box->currentIndex();
}

void write(const Options* form, QSettings* settings, Group group, quint32 index)
{
    const InnerGroup inner(settings, group, index);
    for (const Setting& setting : storedKeys)
        settings->setValue(QLatin1String(setting.key), storedValue(form, setting, group));
}

// A stored row, if it is a number that names a row of `box`.
std::optional<int> storedRow(QSettings* settings, const Setting& setting, const QComboBox* box)
{
    bool ok = false;
    const int row = settings->value(QLatin1String(setting.key)).toInt(&ok);
    if (!ok || row < 0 || row >= box->count())
        return std::nullopt;
    return row;
}

// A stored check state, if it is one: a boolean, "true"/"false" or "1"/"0". QVariant would read
// any other text as checked, and a damaged file must not tick an enable box and open a port.
std::optional<bool> storedCheck(QSettings* settings, const Setting& setting)
{
    const QVariant value = settings->value(QLatin1String(setting.key));
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    const QString text = value.toString().trimmed();
    if (text == QLatin1String("1") || text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (text == QLatin1String("0") ||
        text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return false;
    return std::nullopt;
}

// "Options": every box by row; a missing or unusable value gives the table's default.
void restoreByRow(QSettings* settings, const Setting& setting, const Options* form)
{
    if (setting.kind == Kind::CheckBox) {
        const bool checked = storedCheck(settings, setting).value_or(bool(setting.optionsDefault));
        checkBox(form, setting)->setChecked(checked);
        return;
    }
    QComboBox* box = comboBox(form, setting);
    box->setCurrentIndex(storedRow(settings, setting, box).value_or(setting.optionsDefault));
}

// "RX": port names by name, other boxes by row; a missing or unusable value changes nothing.
void restoreByName(QSettings* settings, const Setting& setting, const Options* form)
{
    const QString key = QLatin1String(setting.key);
    if (setting.kind == Kind::CheckBox) {
        QCheckBox* box = checkBox(form, setting);
        box->setChecked(storedCheck(settings, setting).value_or(box->isChecked()));
        return;
    }
    QComboBox* box = comboBox(form, setting);
    const int row = setting.kind == Kind::PortName
                        ? box->findText(QString::fromLatin1(settings->value(key).toByteArray()),
                                        Qt::MatchExactly | Qt::MatchCaseSensitive)
                        : storedRow(settings, setting, box).value_or(-1);
    if (settings->contains(key) && row >= 0)
        box->setCurrentIndex(row);
}

} // namespace

void Control::writeOptions(QSettings* settings)
{
    write(options, settings, Group::Options, cache.transceiver);
}

void Control::writeRxSettings(QSettings* settings)
{
    write(options, settings, Group::Rx, cache.transceiver);
}

void Control::readOptions(QSettings* settings)
{
    const InnerGroup inner(settings, Group::Options, cache.transceiver);
    for (const Setting& setting : storedKeys)
        restoreByRow(settings, setting, options);
}

void Control::readRxSettings(QSettings* settings)
{
    const InnerGroup inner(settings, Group::Rx, cache.transceiver);
    for (const Setting& setting : storedKeys)
        restoreByName(settings, setting, options);
}
