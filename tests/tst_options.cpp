// The channel options panel: its children are the interface the channel controller finds by
// object name, so names, classes, lists, rows, layout cells and enabling links are checked
// against a freshly built form.

#include "Options.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QSpacerItem>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTranslator>
#include <QVBoxLayout>

namespace
{

template <class T> T* child(const QObject& form, const char* name)
{
    const auto found = form.findChildren<T*>(QLatin1String(name));
    return found.size() == 1 ? found.first() : nullptr;
}

// Every widget the user can change, for checking which of them an enable box locks.
const QStringList editableFields = {
    "cbPortName",
    "cbParity",
    "cbData",
    "cbStopBit",
    "cbBoudRate",
    "cbPttLine",
    "cbKeyLine",
    "chbFR",
    "chbAntSw",
    "cbPortNamePTT",
    "chbDTR",
    "chbRTS",
    "cbPortNameFootSwitch",
    "chbDTR_FootSwitch",
    "chbRTS_FootSwitch",
    "chbEnable",
    "chbEnablePtt",
    "chbEnableFootswitch",
    "chbLog",
    "chbTcpEnable",
    "sbTcpPort",
    "leTcpConnect",
    "leTcpTransmit",
};

const QStringList lineChoices = {"None", "DTR", "RTS"};

using NamedText = std::pair<const char*, const char*>;

// The labels' texts, by object name.
const NamedText labelTexts[] = {
    {"lbPortName", "Port name:"},
    {"lbParity", "Parity:"},
    {"lbData", "Data:"},
    {"lbStopBit", "Stop bit:"},
    {"lbBoudRate", "Baud rate:"},
    {"lbPttLine", "PTT line:"},
    {"lbKeyLine", "Key line:"},
    {"lbPortNamePtt", "Port name:"},
    {"lbDtr", "DTR"},
    {"lbRts", "RTS"},
    {"lbPortNamePtt_2", "Port name:"},
    {"lbDtr_2", "DTR"},
    {"lbRts_2", "RTS"},
    {"lbTcpPort", "TCP port:"},
    {"lbTcpConnect", "Connect from:"},
    {"lbTcpTransmit", "Transmit from:"},
};

// The check boxes' texts, by object name; the DTR and RTS boxes have none of their own.
const NamedText checkBoxTexts[] = {
    {"chbEnable", "Enable CAT"},
    {"chbFR", "Enable SubRX control (FR command)"},
    {"chbAntSw", "Antenna switch control"},
    {"chbEnablePtt", "Enable PTT"},
    {"chbDTR", ""},
    {"chbRTS", ""},
    {"chbEnableFootswitch", "Enable Footswitch"},
    {"chbDTR_FootSwitch", ""},
    {"chbRTS_FootSwitch", ""},
    {"chbLog", "View log"},
    {"chbTcpEnable", "Enable TCP"},
};

// Answers only for the "Options" context, marking what it translated; a form that asks with
// any other context keeps its source texts and fails the comparisons.
class MarkingTranslator : public QTranslator
{
public:
    QString translate(const char* context, const char* sourceText, const char*, int) const override
    {
        if (QLatin1String(context) != QLatin1String("Options"))
            return {};
        return QStringLiteral("<%1>").arg(QString::fromUtf8(sourceText));
    }
    bool isEmpty() const override { return false; }
};

QStringList itemTexts(const QComboBox& box)
{
    QStringList texts;
    for (int row = 0; row < box.count(); ++row)
        texts << box.itemText(row);
    return texts;
}

QStringList marked(const QStringList& texts)
{
    QStringList out;
    for (const QString& text : texts)
        out << QStringLiteral("<%1>").arg(text);
    return out;
}

} // namespace

class tst_options : public QObject
{
    Q_OBJECT

private slots:
    void form();
    void children_data();
    void children();
    void labels_data();
    void labels();
    void checkBoxes_data();
    void checkBoxes();
    void comboLists_data();
    void comboLists();
    void portNameCombos_data();
    void portNameCombos();
    void gridCells_data();
    void gridCells();
    void gridShapes_data();
    void gridShapes();
    void gridSpacers_data();
    void gridSpacers();
    void logPart();
    void logDocument();
    void enablingLinks_data();
    void enablingLinks();
    void logVisibility();
    void translatedTexts_data();
    void translatedTexts();
    void translatedComboItems_data();
    void translatedComboItems();
};

void tst_options::form()
{
    Options form;
    QCOMPARE(form.objectName(), QString("Options"));
    QCOMPARE(form.windowTitle(), QString("Form"));
    QCOMPARE(form.size(), QSize(607, 304));
    QCOMPARE(form.layout(), child<QGridLayout>(form, "gridLayout_3"));

    QWidget parent;
    Options owned(&parent);
    QCOMPARE(owned.parentWidget(), &parent);
    QVERIFY(!owned.isWindow());
}

void tst_options::children_data()
{
    QTest::addColumn<QString>("className");
    const std::pair<const char*, const char*> table[] = {
        {"gridLayout_3", "QGridLayout"},
        {"gridLayout", "QGridLayout"},
        {"chbEnable", "QCheckBox"},
        {"lbPortName", "QLabel"},
        {"lbVirtualPath", "QLabel"},
        {"cbPortName", "QComboBox"},
        {"lbParity", "QLabel"},
        {"cbParity", "QComboBox"},
        {"lbData", "QLabel"},
        {"cbData", "QComboBox"},
        {"lbStopBit", "QLabel"},
        {"cbStopBit", "QComboBox"},
        {"lbBoudRate", "QLabel"},
        {"cbBoudRate", "QComboBox"},
        {"lbPttLine", "QLabel"},
        {"cbPttLine", "QComboBox"},
        {"lbKeyLine", "QLabel"},
        {"cbKeyLine", "QComboBox"},
        {"chbFR", "QCheckBox"},
        {"chbAntSw", "QCheckBox"},
        {"gridLayout_2", "QGridLayout"},
        {"chbEnablePtt", "QCheckBox"},
        {"lbPortNamePtt", "QLabel"},
        {"cbPortNamePTT", "QComboBox"},
        {"lbDtr", "QLabel"},
        {"chbDTR", "QCheckBox"},
        {"lbRts", "QLabel"},
        {"chbRTS", "QCheckBox"},
        {"chbEnableFootswitch", "QCheckBox"},
        {"lbPortNamePtt_2", "QLabel"},
        {"cbPortNameFootSwitch", "QComboBox"},
        {"lbDtr_2", "QLabel"},
        {"chbDTR_FootSwitch", "QCheckBox"},
        {"lbRts_2", "QLabel"},
        {"chbRTS_FootSwitch", "QCheckBox"},
        {"chbTcpEnable", "QCheckBox"},
        {"lbTcpPort", "QLabel"},
        {"sbTcpPort", "QSpinBox"},
        {"lbTcpConnect", "QLabel"},
        {"leTcpConnect", "QLineEdit"},
        {"lbTcpTransmit", "QLabel"},
        {"leTcpTransmit", "QLineEdit"},
        {"widget", "QWidget"},
        {"verticalLayout", "QVBoxLayout"},
        {"chbLog", "QCheckBox"},
        {"widget_2", "QWidget"},
        {"verticalLayout_2", "QVBoxLayout"},
        {"tbLog", "QTextBrowser"},
    };
    for (const auto& [name, className] : table)
        QTest::newRow(name) << QString(className);
}

void tst_options::children()
{
    QFETCH(QString, className);
    Options form;
    const QObject* found = child<QObject>(form, QTest::currentDataTag());
    QVERIFY2(found, "missing or not unique");
    QCOMPARE(QString(found->metaObject()->className()), className);
}

void tst_options::labels_data()
{
    QTest::addColumn<QString>("text");
    for (const auto& [name, text] : labelTexts)
        QTest::newRow(name) << QString(text);
}

void tst_options::labels()
{
    QFETCH(QString, text);
    Options form;
    const QLabel* label = child<QLabel>(form, QTest::currentDataTag());
    QVERIFY(label);
    QCOMPARE(label->text(), text);
    QCOMPARE(label->frameShape(), QFrame::NoFrame);
    QCOMPARE(label->alignment(), Qt::AlignRight | Qt::AlignVCenter);
}

void tst_options::checkBoxes_data()
{
    QTest::addColumn<QString>("text");
    for (const auto& [name, text] : checkBoxTexts)
        QTest::newRow(name) << QString(text);
}

void tst_options::checkBoxes()
{
    QFETCH(QString, text);
    Options form;
    const QCheckBox* box = child<QCheckBox>(form, QTest::currentDataTag());
    QVERIFY(box);
    QCOMPARE(box->text(), text);
    QVERIFY(!box->isChecked());
    QVERIFY(box->isEnabled());
}

void tst_options::comboLists_data()
{
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<int>("row");
    QTest::newRow("cbParity") << QStringList{"None", "Odd", "Even", "Mark", "Space"} << 0;
    QTest::newRow("cbData") << QStringList{"5", "6", "7", "8"} << 3;
    QTest::newRow("cbStopBit") << QStringList{"1", "1.5", "2"} << 0;
    QTest::newRow("cbBoudRate") << QStringList{"1200",  "2400",  "4800",  "9600",
                                               "19200", "38400", "57600", "115200"}
                                << 0;
    QTest::newRow("cbPttLine") << lineChoices << 0;
    QTest::newRow("cbKeyLine") << lineChoices << 0;
}

void tst_options::comboLists()
{
    QFETCH(QStringList, items);
    QFETCH(int, row);
    Options form;
    const QComboBox* box = child<QComboBox>(form, QTest::currentDataTag());
    QVERIFY(box);
    QCOMPARE(itemTexts(*box), items);
    QCOMPARE(box->currentIndex(), row);
    QCOMPARE(box->currentText(), items.at(row));
    QVERIFY(box->isEnabled());
}

void tst_options::portNameCombos_data()
{
    QTest::addColumn<int>("unused");
    for (const char* name : {"cbPortName", "cbPortNamePTT", "cbPortNameFootSwitch"})
        QTest::newRow(name) << 0;
}

void tst_options::portNameCombos()
{
    Options form;
    const QComboBox* box = child<QComboBox>(form, QTest::currentDataTag());
    QVERIFY(box);
    QCOMPARE(box->count(), 0);
    QCOMPARE(box->minimumWidth(), 80);
    QCOMPARE(box->maxVisibleItems(), 30);
    QVERIFY(box->isEnabled());
}

void tst_options::gridCells_data()
{
    QTest::addColumn<QString>("grid");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("columnSpan");
    struct Cell {
        const char* grid;
        const char* item;
        int row, column, columnSpan;
    };
    const Cell table[] = {
        {"gridLayout_3", "gridLayout", 0, 0, 1},
        {"gridLayout_3", "gridLayout_2", 0, 1, 1},
        {"gridLayout_3", "widget", 0, 2, 1},
        {"gridLayout", "chbEnable", 0, 0, 1},
        {"gridLayout", "lbPortName", 1, 0, 1},
        {"gridLayout", "cbPortName", 1, 1, 1},
        {"gridLayout", "lbVirtualPath", 1, 2, 1},
        {"gridLayout", "lbParity", 2, 0, 1},
        {"gridLayout", "cbParity", 2, 1, 1},
        {"gridLayout", "lbData", 3, 0, 1},
        {"gridLayout", "cbData", 3, 1, 1},
        {"gridLayout", "lbStopBit", 4, 0, 1},
        {"gridLayout", "cbStopBit", 4, 1, 1},
        {"gridLayout", "lbBoudRate", 5, 0, 1},
        {"gridLayout", "cbBoudRate", 5, 1, 1},
        {"gridLayout", "lbPttLine", 6, 0, 1},
        {"gridLayout", "cbPttLine", 6, 1, 1},
        {"gridLayout", "lbKeyLine", 7, 0, 1},
        {"gridLayout", "cbKeyLine", 7, 1, 1},
        {"gridLayout", "chbFR", 8, 0, 2},
        {"gridLayout", "chbAntSw", 9, 0, 2},
        {"gridLayout_2", "chbEnablePtt", 0, 0, 1},
        {"gridLayout_2", "lbPortNamePtt", 1, 0, 1},
        {"gridLayout_2", "cbPortNamePTT", 1, 1, 1},
        {"gridLayout_2", "lbDtr", 2, 0, 1},
        {"gridLayout_2", "chbDTR", 2, 1, 1},
        {"gridLayout_2", "lbRts", 3, 0, 1},
        {"gridLayout_2", "chbRTS", 3, 1, 1},
        {"gridLayout_2", "chbEnableFootswitch", 4, 0, 2},
        {"gridLayout_2", "lbPortNamePtt_2", 5, 0, 1},
        {"gridLayout_2", "cbPortNameFootSwitch", 5, 1, 1},
        {"gridLayout_2", "lbDtr_2", 6, 0, 1},
        {"gridLayout_2", "chbDTR_FootSwitch", 6, 1, 1},
        {"gridLayout_2", "lbRts_2", 7, 0, 1},
        {"gridLayout_2", "chbRTS_FootSwitch", 7, 1, 1},
        {"gridLayout_2", "chbTcpEnable", 8, 0, 2},
        {"gridLayout_2", "lbTcpPort", 9, 0, 1},
        {"gridLayout_2", "sbTcpPort", 9, 1, 1},
        {"gridLayout_2", "lbTcpConnect", 10, 0, 1},
        {"gridLayout_2", "leTcpConnect", 10, 1, 1},
        {"gridLayout_2", "lbTcpTransmit", 11, 0, 1},
        {"gridLayout_2", "leTcpTransmit", 11, 1, 1},
    };
    for (const Cell& cell : table)
        QTest::newRow(cell.item) << QString(cell.grid) << cell.row << cell.column
                                 << cell.columnSpan;
}

void tst_options::gridCells()
{
    QFETCH(QString, grid);
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(int, columnSpan);
    Options form;
    QGridLayout* layout = child<QGridLayout>(form, grid.toLatin1().constData());
    QVERIFY(layout);
    const char* name = QTest::currentDataTag();
    QLayoutItem* item = nullptr;
    if (QWidget* widget = child<QWidget>(form, name))
        item = layout->itemAt(layout->indexOf(widget));
    else if (QLayout* inner = child<QLayout>(form, name))
        item = layout->itemAt(layout->indexOf(inner));
    QVERIFY2(item, "not an item of this grid");
    QVERIFY2(!item->alignment(), "cells set no alignment of their own");
    int r = -1, c = -1, rs = -1, cs = -1;
    layout->getItemPosition(layout->indexOf(item), &r, &c, &rs, &cs);
    QCOMPARE(r, row);
    QCOMPARE(c, column);
    QCOMPARE(rs, 1);
    QCOMPARE(cs, columnSpan);
}

void tst_options::gridShapes_data()
{
    QTest::addColumn<int>("items");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("columns");
    QTest::addColumn<int>("emptyRow");
    QTest::addColumn<int>("spacing");
    QTest::addColumn<int>("verticalSpacing");
    QTest::newRow("gridLayout") << 19 << 12 << 3 << 10 << 5 << 8;
    QTest::newRow("gridLayout_2") << 22 << 13 << 2 << -1 << 5 << 8;
}

void tst_options::gridShapes()
{
    QFETCH(int, items);
    QFETCH(int, rows);
    QFETCH(int, columns);
    QFETCH(int, emptyRow);
    QFETCH(int, spacing);
    QFETCH(int, verticalSpacing);
    Options form;
    const QGridLayout* grid = child<QGridLayout>(form, QTest::currentDataTag());
    QVERIFY(grid);
    QCOMPARE(grid->count(), items);
    QCOMPARE(grid->rowCount(), rows);
    QCOMPARE(grid->columnCount(), columns);
    QCOMPARE(grid->horizontalSpacing(), spacing);
    QCOMPARE(grid->verticalSpacing(), verticalSpacing);
    for (int column = 0; column < columns; ++column)
        QVERIFY(!grid->itemAtPosition(emptyRow, column));
}

void tst_options::gridSpacers_data()
{
    QTest::addColumn<int>("row");
    QTest::newRow("gridLayout") << 11;
    QTest::newRow("gridLayout_2") << 12;
}

void tst_options::gridSpacers()
{
    QFETCH(int, row);
    Options form;
    QGridLayout* grid = child<QGridLayout>(form, QTest::currentDataTag());
    QVERIFY(grid);
    QVERIFY(!grid->itemAtPosition(row, 0));
    QLayoutItem* item = grid->itemAtPosition(row, 1);
    QVERIFY(item);
    QSpacerItem* spacer = item->spacerItem();
    QVERIFY(spacer);
    QCOMPARE(spacer->sizeHint(), QSize(20, 40));
    QCOMPARE(spacer->sizePolicy().horizontalPolicy(), QSizePolicy::Minimum);
    QCOMPARE(spacer->sizePolicy().verticalPolicy(), QSizePolicy::Expanding);
}

void tst_options::logPart()
{
    Options form;
    auto* widget = child<QWidget>(form, "widget");
    auto* widget2 = child<QWidget>(form, "widget_2");
    auto* outer = child<QVBoxLayout>(form, "verticalLayout");
    auto* inner = child<QVBoxLayout>(form, "verticalLayout_2");
    QVERIFY(widget && widget2 && outer && inner);
    QCOMPARE(widget->layout(), outer);
    QCOMPARE(widget2->layout(), inner);
    // The log takes the panel's spare width, so an answer is not wrapped over several lines.
    const auto* top = child<QGridLayout>(form, "gridLayout_3");
    QCOMPARE(top->columnStretch(2), 1);
    QCOMPARE(top->columnStretch(0) + top->columnStretch(1), 0);

    QCOMPARE(outer->count(), 2);
    QCOMPARE(outer->itemAt(0)->widget(), child<QCheckBox>(form, "chbLog"));
    QCOMPARE(outer->itemAt(1)->widget(), widget2);
    QCOMPARE(outer->spacing(), 4);
    QCOMPARE(outer->contentsMargins(), QMargins());

    QCOMPARE(inner->count(), 2);
    QCOMPARE(inner->itemAt(0)->widget(), child<QTextBrowser>(form, "tbLog"));
    QSpacerItem* spacer = inner->itemAt(1)->spacerItem();
    QVERIFY(spacer);
    QCOMPARE(spacer->sizeHint(), QSize(0, 0));
    QCOMPARE(spacer->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
    QCOMPARE(spacer->sizePolicy().verticalPolicy(), QSizePolicy::Minimum);
    QCOMPARE(inner->spacing(), 0);
    QCOMPARE(inner->contentsMargins(), QMargins());
}

void tst_options::logDocument()
{
    Options form;
    const QTextBrowser* log = child<QTextBrowser>(form, "tbLog");
    QVERIFY(log);
    QCOMPARE(log->frameShape(), QFrame::Box);
    QCOMPARE(log->frameShadow(), QFrame::Plain);

    const QTextDocument* document = log->document();
    QCOMPARE(document->blockCount(), 1);
    QVERIFY(document->isEmpty());
    const QTextBlock paragraph = document->firstBlock();
    QVERIFY(paragraph.charFormat().fontFamilies().toStringList().contains("MS Shell Dlg 2"));
    QCOMPARE(paragraph.charFormat().fontPointSize(), 8.0);
    QCOMPARE(paragraph.blockFormat().topMargin(), 0.0);
    QCOMPARE(paragraph.blockFormat().bottomMargin(), 0.0);
    QCOMPARE(paragraph.blockFormat().indent(), 0);
    QCOMPARE(paragraph.blockFormat().textIndent(), 0.0);
}

void tst_options::enablingLinks_data()
{
    QTest::addColumn<QStringList>("locked");
    QTest::newRow("chbEnable") << QStringList{"cbPortName", "cbParity",  "cbData",   "cbStopBit",
                                              "cbBoudRate", "cbPttLine", "cbKeyLine"};
    QTest::newRow("chbEnablePtt") << QStringList{"cbPortNamePTT", "chbDTR", "chbRTS"};
    QTest::newRow("chbEnableFootswitch")
        << QStringList{"cbPortNameFootSwitch", "chbDTR_FootSwitch", "chbRTS_FootSwitch"};
    QTest::newRow("chbTcpEnable") << QStringList{"sbTcpPort", "leTcpConnect", "leTcpTransmit"};
    QTest::newRow("chbLog") << QStringList{};
    QTest::newRow("chbFR") << QStringList{};
    QTest::newRow("chbAntSw") << QStringList{};
}

void tst_options::enablingLinks()
{
    QFETCH(QStringList, locked);
    Options form;
    QCheckBox* box = child<QCheckBox>(form, QTest::currentDataTag());
    QVERIFY(box);

    box->setChecked(true);
    for (const QString& name : editableFields) {
        const QWidget* field = child<QWidget>(form, name.toLatin1().constData());
        QVERIFY(field);
        QVERIFY2(field->isEnabled() != locked.contains(name), qPrintable(name));
    }

    box->setChecked(false);
    for (const QString& name : editableFields)
        QVERIFY2(child<QWidget>(form, name.toLatin1().constData())->isEnabled(), qPrintable(name));
}

void tst_options::logVisibility()
{
    Options form;
    QCheckBox* view = child<QCheckBox>(form, "chbLog");
    QTextBrowser* log = child<QTextBrowser>(form, "tbLog");
    QVERIFY(view && log);
    QVERIFY(!log->isVisibleTo(&form));

    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QVERIFY(!log->isVisible());
    QVERIFY(view->isVisible());

    view->click();
    QVERIFY(view->isChecked());
    QVERIFY(log->isVisible());

    view->click();
    QVERIFY(!view->isChecked());
    QVERIFY(!log->isVisible());

    // Restoring settings sets the box programmatically; the view follows all the same.
    view->setChecked(true);
    QVERIFY(log->isVisible());
}

void tst_options::translatedTexts_data()
{
    QTest::addColumn<QString>("text");
    // Every label, then every check box that has a text.
    for (const auto& [name, text] : labelTexts)
        QTest::newRow(name) << QStringLiteral("<%1>").arg(text);
    for (const auto& [name, text] : checkBoxTexts) {
        if (*text != '\0')
            QTest::newRow(name) << QStringLiteral("<%1>").arg(text);
    }
}

void tst_options::translatedTexts()
{
    QFETCH(QString, text);
    MarkingTranslator translator;
    QVERIFY(QCoreApplication::installTranslator(&translator));
    Options form;
    QCoreApplication::removeTranslator(&translator);

    QCOMPARE(form.windowTitle(), QString("<Form>"));
    const QObject* found = child<QObject>(form, QTest::currentDataTag());
    QVERIFY(found);
    QCOMPARE(found->property("text").toString(), text);
}

void tst_options::translatedComboItems_data()
{
    comboLists_data();
}

void tst_options::translatedComboItems()
{
    QFETCH(QStringList, items);
    QFETCH(int, row);
    MarkingTranslator translator;
    QVERIFY(QCoreApplication::installTranslator(&translator));
    Options form;
    QCoreApplication::removeTranslator(&translator);

    const QComboBox* box = child<QComboBox>(form, QTest::currentDataTag());
    QVERIFY(box);
    QCOMPARE(itemTexts(*box), marked(items));
    QCOMPARE(box->currentIndex(), row);
}

QTEST_MAIN(tst_options)
#include "tst_options.moc"
