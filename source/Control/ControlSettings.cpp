// Control's settings: the panel's state saved to and restored from the host's QSettings.
// "Options<index>" keeps every combo box by row; "RX<index>" keeps the port names by name (as
// Latin-1 bytes) and the other boxes by row. Restoring sets the widgets, which fire the same
// signals as a user's clicks: the panel flags follow and ports open, each with the name and
// parameters restored before it in table order. GUI thread only.
//
// The TCP server's keys follow, its port and lists before its enable box, so that a restore
// opens the server with them. A settings file from before them loads with the server closed.
//
// The by-name load has the last word on which port is open: the positional load that runs
// before it may have chosen whatever device now stands at the stored position, so a port whose
// stored name is found is reopened on that name, and one whose stored name has vanished from the
// list is closed and its box unticked rather than left on a stranger's device. The ports a load
// opens are opened only on the next turn of the event loop, after the host's loads of this turn
// (deferRestoredOpen), so a device the by-name load corrects is never touched.

#include "Control.h"

#include "Options.h"

#include "AddressList.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSettings>
#include <QSpinBox>

#include <optional>
#include <utility>

namespace
{

enum class Kind { CheckBox, ComboBox, PortName, PortEnable, Number, Text, ServerEnable };

// One stored widget of the panel, by object name, with its default in the "Options" group.
struct Setting {
    const char* key;
    const char* widget;
    Kind kind;
    // Checked state, row, or number (the TCP port: the first transceiver's; each further one
    // adds its index).
    int optionsDefault;
    const char* portNameKey = nullptr; // a port's enable box: the key of the port's name
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
    {"Enable", "chbEnable", Kind::PortEnable, false, "Name"},
    {"PttName", "cbPortNamePTT", Kind::PortName, 0},
    {"DTR", "chbDTR", Kind::CheckBox, false},
    {"RTS", "chbRTS", Kind::CheckBox, false},
    {"EnablePtt", "chbEnablePtt", Kind::PortEnable, false, "PttName"},
    {"PttNameFootSw", "cbPortNameFootSwitch", Kind::PortName, 0},
    {"DTR_FootSw", "chbDTR_FootSwitch", Kind::CheckBox, false},
    {"RTS_FootSw", "chbRTS_FootSwitch", Kind::CheckBox, false},
    {"EnableFootSw", "chbEnableFootswitch", Kind::PortEnable, false, "PttNameFootSw"},
    {"TcpPort", "sbTcpPort", Kind::Number, Control::firstTcpPort},
    {"TcpConnect", "leTcpConnect", Kind::Text, 0},
    {"TcpTransmit", "leTcpTransmit", Kind::Text, 0},
    {"TcpEnable", "chbTcpEnable", Kind::ServerEnable, false},
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

QSpinBox* spinBox(const Options* form, const Setting& setting)
{
    return form->findChild<QSpinBox*>(QLatin1String(setting.widget));
}

QLineEdit* lineEdit(const Options* form, const Setting& setting)
{
    return form->findChild<QLineEdit*>(QLatin1String(setting.widget));
}

bool isCheckBox(const Setting& setting)
{
    return setting.kind == Kind::CheckBox || setting.kind == Kind::PortEnable ||
           setting.kind == Kind::ServerEnable;
}

const Setting& settingFor(const char* key)
{
    for (const Setting& setting : storedKeys)
        if (qstrcmp(setting.key, key) == 0)
            return setting;
    qFatal("No stored setting %s", key);
}

QVariant storedValue(const Options* form, const Setting& setting, Group group)
{
    if (isCheckBox(setting))
        return checkBox(form, setting)->isChecked();
    if (setting.kind == Kind::Number)
        return spinBox(form, setting)->value();
    if (setting.kind == Kind::Text)
        return lineEdit(form, setting)->text();
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

// A stored number that the spin box can show.
std::optional<int> storedNumber(QSettings* settings, const Setting& setting, const QSpinBox* box)
{
    bool ok = false;
    const int number = settings->value(QLatin1String(setting.key)).toInt(&ok);
    if (!ok || number < box->minimum() || number > box->maximum())
        return std::nullopt;
    return number;
}

std::optional<QString> storedText(QSettings* settings, const Setting& setting)
{
    const QVariant value = settings->value(QLatin1String(setting.key));
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
}

// The TCP port and lists: a missing or unusable value gives `fallback`'s number or text.
bool restoreTcpField(QSettings* settings, const Setting& setting, const Options* form,
                     std::optional<int> numberFallback, std::optional<QString> textFallback)
{
    if (setting.kind == Kind::Number) {
        QSpinBox* box = spinBox(form, setting);
        const std::optional<int> number = storedNumber(settings, setting, box);
        if (number || numberFallback)
            box->setValue(number ? *number : *numberFallback);
        return true;
    }
    if (setting.kind == Kind::Text) {
        const std::optional<QString> text = storedText(settings, setting);
        if (text || textFallback)
            lineEdit(form, setting)->setText(text ? *text : *textFallback);
        return true;
    }
    return false;
}

// "Options": every box by row; a missing or unusable value gives the table's default.
void restoreByRow(QSettings* settings, const Setting& setting, const Options* form, quint32 index)
{
    if (restoreTcpField(settings, setting, form, setting.optionsDefault + int(index),
                        AddressList::defaultText()))
        return;
    if (isCheckBox(setting)) {
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
    if (restoreTcpField(settings, setting, form, std::nullopt, std::nullopt))
        return;
    const QString key = QLatin1String(setting.key);
    if (isCheckBox(setting)) {
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

// Whether an enable box's port has a stored name that the port list no longer has.
bool hasVanishedName(QSettings* settings, const Setting& enable, const Options* form)
{
    const Setting& name = settingFor(enable.portNameKey);
    const QString key = QLatin1String(name.key);
    return settings->contains(key) &&
           comboBox(form, name)
                   ->findText(QString::fromLatin1(settings->value(key).toByteArray()),
                              Qt::MatchExactly | Qt::MatchCaseSensitive) < 0;
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
    restoringSettings = true;
    for (const Setting& setting : storedKeys)
        restoreByRow(settings, setting, options, cache.transceiver);
    restoringSettings = false;
}

void Control::readRxSettings(QSettings* settings)
{
    const InnerGroup inner(settings, Group::Rx, cache.transceiver);
    restoringSettings = true;
    for (const Setting& setting : storedKeys) {
        if (setting.kind == Kind::ServerEnable) {
            QCheckBox* box = checkBox(options, setting);
            restoreByName(settings, setting, options);
            // A server already open on another port or lists is opened again on the new ones.
            if (box->isChecked() && tcpListener && !(tcpChoice == tcpChoiceOnPanel())) {
                box->setChecked(false);
                box->setChecked(true);
            }
            continue;
        }
        if (setting.kind != Kind::PortEnable) {
            restoreByName(settings, setting, options);
            continue;
        }
        QCheckBox* box = checkBox(options, setting);
        if (hasVanishedName(settings, setting, options)) {
            box->setChecked(false);
            continue;
        }
        restoreByName(settings, setting, options);
        const QComboBox* names = comboBox(options, settingFor(setting.portNameKey));
        if (box->isChecked() && openPortName(box) != names->currentText()) {
            // Reopened through the box, as a user would: closed, then opened with the name and
            // parameters just restored.
            box->setChecked(false);
            box->setChecked(true);
        }
    }
    restoringSettings = false;
}

bool Control::deferRestoredOpen()
{
    if (!restoringSettings)
        return false;
    if (!std::exchange(restoredOpenPending, true))
        QMetaObject::invokeMethod(
            this, [this] { openRestoredPorts(); }, Qt::QueuedConnection);
    return true;
}

void Control::openRestoredPorts()
{
    restoredOpenPending = false;
    if (!options)
        return;
    // Each with the name and parameters its box shows now; a box unticked since opens nothing.
    if (panel.chbEnable->isChecked())
        openCAT(true);
    for (KeyingPort* keying : {&ptt, &footSwitch}) {
        if (keying->enableBox->isChecked())
            openKeyingPort(*keying, true);
    }
}
