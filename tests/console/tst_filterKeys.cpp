#include "FilterKeys.h"
#include "SortArrowStyle.h"

#include <QCommonStyle>
#include <QHeaderView>
#include <QLineEdit>
#include <QStandardItemModel>
#include <QTreeView>
#include <QVBoxLayout>
#include <QtTest>

// The keys every tab's filter field shares with its rows, and the sort arrow of their headers.
class tst_filterKeys : public QObject
{
    Q_OBJECT

private slots:
    void theKeys_data();
    void theKeys();
    void theSortArrowPointsUpForAscending_data();
    void theSortArrowPointsUpForAscending();
};

namespace {

// Notes the arrow a header asks for, beneath the style under test.
class ArrowNotes : public QCommonStyle
{
public:
    mutable QList<QStyleOptionHeader::SortIndicator> drawn;
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override
    {
        if (element == PE_IndicatorHeaderArrow)
            if (const auto* header = qstyleoption_cast<const QStyleOptionHeader*>(option))
                drawn << header->sortIndicator;
        QCommonStyle::drawPrimitive(element, option, painter, widget);
    }
};

} // namespace

void tst_filterKeys::theKeys_data()
{
    QTest::addColumn<bool>("inRows"); // the key is pressed in the rows, else in the field
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("textAfter");
    QTest::addColumn<bool>("rowsFocused");
    QTest::addColumn<bool>("firstSelected");
    QTest::newRow("Down goes to the first row")
        << false << "b" << int(Qt::Key_Down) << "b" << true << true;
    QTest::newRow("Enter goes to the first row")
        << false << "b" << int(Qt::Key_Return) << "b" << true << true;
    QTest::newRow("Esc empties the field")
        << false << "b" << int(Qt::Key_Escape) << "" << false << false;
    QTest::newRow("Esc in an empty field goes to the rows")
        << false << "" << int(Qt::Key_Escape) << "" << true << false;
    QTest::newRow("Esc in the rows empties the field")
        << true << "b" << int(Qt::Key_Escape) << "" << true << false;
}

void tst_filterKeys::theKeys()
{
    QFETCH(bool, inRows);
    QFETCH(QString, typed);
    QFETCH(int, key);
    QWidget page;
    auto* filter = new QLineEdit(&page);
    auto* rows = new QTreeView(&page);
    auto* layout = new QVBoxLayout(&page);
    layout->addWidget(filter);
    layout->addWidget(rows);
    QStandardItemModel model;
    for (const char* text : {"alpha", "beta"})
        model.appendRow(new QStandardItem(QString::fromLatin1(text)));
    rows->setModel(&model);
    FilterKeys::attach(*filter, *rows);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    page.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&page));

    filter->setText(typed);
    QWidget* pressedIn = inRows ? static_cast<QWidget*>(rows) : filter;
    pressedIn->setFocus();
    QTRY_VERIFY(pressedIn->hasFocus());
    QTest::keyClick(pressedIn, static_cast<Qt::Key>(key));

    QTEST(filter->text(), "textAfter");
    QTEST(rows->hasFocus(), "rowsFocused");
    QTEST(rows->selectionModel()->isRowSelected(0, {}), "firstSelected");
}

void tst_filterKeys::theSortArrowPointsUpForAscending_data()
{
    QTest::addColumn<int>("order");
    QTest::addColumn<int>("arrow");
    QTest::newRow("ascending") << int(Qt::AscendingOrder) << int(QStyleOptionHeader::SortUp);
    QTest::newRow("descending") << int(Qt::DescendingOrder) << int(QStyleOptionHeader::SortDown);
}

void tst_filterKeys::theSortArrowPointsUpForAscending()
{
    QFETCH(int, order);
    QStandardItemModel model(2, 2);
    QTreeView rows;
    rows.setModel(&model);
    rows.setSortingEnabled(true);
    rows.sortByColumn(0, static_cast<Qt::SortOrder>(order));
    auto* notes = new ArrowNotes;
    SortArrowStyle style(notes); // takes the notes as its base
    rows.header()->setStyle(&style);
    rows.header()->resize(200, 30);
    rows.header()->grab();
    QVERIFY(!notes->drawn.isEmpty());
    QTEST(int(notes->drawn.last()), "arrow");
}

QTEST_MAIN(tst_filterKeys)
#include "tst_filterKeys.moc"
