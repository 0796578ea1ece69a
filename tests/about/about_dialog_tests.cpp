#include <algorithm>

#include <QApplication>
#include <QFontMetrics>
#include <QGroupBox>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QTest>
#include <QWindow>

#include "about/about_dialog.h"
#include "about/build_date.h"
#include "about/dialog_units.h"
#include "about/program_texts.h"

using plexor::AboutDialog;

namespace {

QString ProductNameText()
{
    return QString::fromStdString(plexor::ProductName());
}

QString CopyrightLine()
{
    return QString::fromStdString(plexor::CopyrightText());
}

QString CoBrandText()
{
    return QString::fromStdString(plexor::CoBrandName());
}

QString BuildDateLine()
{
    return QStringLiteral("Build Date: ") + QString::fromStdString(plexor::BuildDateText());
}

// The labels that show text (the icon label shows none), in creation order.
QList<QLabel*> TextLabels(const QWidget& root)
{
    QList<QLabel*> labels;
    for (QLabel* label : root.findChildren<QLabel*>()) {
        if (!label->text().isEmpty())
            labels.append(label);
    }
    return labels;
}

QStringList LabelTexts(const QWidget& root)
{
    QStringList texts;
    for (const QLabel* label : TextLabels(root))
        texts.append(label->text());
    return texts;
}

QLabel* LabelShowing(const QWidget& root, const QString& text)
{
    QLabel* found = nullptr;
    for (QLabel* label : TextLabels(root)) {
        if (label->text() == text) {
            if (found != nullptr)
                return nullptr; // not unique
            found = label;
        }
    }
    return found;
}

bool HasHeadingFont(const QWidget& widget)
{
    const QFont font = widget.font();
    return widget.testAttribute(Qt::WA_SetFont) && font.family() == QLatin1String("Arial") && font.bold()
        && !font.italic() && font.pixelSize() == AboutDialog::HeadingFont().pixelSize()
        && QFontMetrics(font).height() <= 20;
}

QString TextOf(const QWidget& widget)
{
    if (const auto* label = qobject_cast<const QLabel*>(&widget))
        return label->text();
    if (const auto* button = qobject_cast<const QPushButton*>(&widget))
        return button->text();
    if (const auto* edit = qobject_cast<const QLineEdit*>(&widget))
        return edit->text();
    return qobject_cast<const QGroupBox*>(&widget)->title();
}

} // namespace

class AboutDialogTests final : public QObject
{
    Q_OBJECT

private slots:
    void showsTheLiveTexts();
    void headingFontOnlyOnProductAndCoBrandName();
    void captionAndFramesStayAsBuilt();
    void fillPlaceholders_data();
    void fillPlaceholders();
    void secondBoxShowsTheSameTexts();
    void okIsTheDefaultAndOnlyTabStop();
    void closes_data();
    void closes();
    void windowHasFixedTemplateSizeAndCaption();
    void iconShowsTheApplicationIcon();
    void controlsFitTheBoxAndTheirTexts();
    void dialogUnits_data();
    void dialogUnits();
};

void AboutDialogTests::showsTheLiveTexts()
{
    AboutDialog dialog;
    const QStringList texts = LabelTexts(dialog);

    QCOMPARE(texts.size(), 5);
    for (const QString& expected :
         {ProductNameText(), CopyrightLine(), CoBrandText(), BuildDateLine(), QStringLiteral("Brought to you by")}) {
        QVERIFY2(texts.count(expected) == 1, qPrintable(expected));
    }
    for (const QString& text : texts)
        QVERIFY2(!text.startsWith(QLatin1Char('<')), qPrintable(text));
}

void AboutDialogTests::headingFontOnlyOnProductAndCoBrandName()
{
    AboutDialog dialog;
    const QStringList headings{ProductNameText(), CoBrandText()};

    int headingCount = 0;
    for (const QLabel* label : dialog.findChildren<QLabel*>()) {
        if (headings.contains(label->text())) {
            QVERIFY2(HasHeadingFont(*label), qPrintable(label->text()));
            ++headingCount;
        } else {
            QVERIFY2(!label->testAttribute(Qt::WA_SetFont), qPrintable(label->text()));
            QCOMPARE(label->font(), dialog.font());
        }
    }
    QCOMPARE(headingCount, 2);

    // A 20-pixel character cell: as near to 20 as the face allows.
    const QFont heading = AboutDialog::HeadingFont();
    QCOMPARE(heading.styleHint(), QFont::Serif);
    QCOMPARE(heading.weight(), QFont::Bold);
    QFont oneLarger = heading;
    oneLarger.setPixelSize(heading.pixelSize() + 1);
    QVERIFY(QFontMetrics(oneLarger).height() > 20);
}

void AboutDialogTests::captionAndFramesStayAsBuilt()
{
    AboutDialog dialog;
    QVERIFY(LabelShowing(dialog, QStringLiteral("Brought to you by")) != nullptr);

    const auto frames = dialog.findChildren<QGroupBox*>();
    QCOMPARE(frames.size(), 2);
    for (const QGroupBox* frame : frames) {
        QVERIFY(frame->title().isEmpty());
        QVERIFY(!frame->isCheckable());
    }
}

// The placeholder walk on a widget tree of our own: only QLabels whose whole
// text is a placeholder change, wherever they sit in the tree.
void AboutDialogTests::fillPlaceholders_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("heading");

    const QString productName = QStringLiteral("<Product Name>");
    QTest::newRow("product name") << "label" << productName << ProductNameText() << true;
    QTest::newRow("copyright") << "label" << "<Copyright>" << CopyrightLine() << false;
    QTest::newRow("co-brand name") << "label" << "<Co-brand Name>" << CoBrandText() << true;
    QTest::newRow("version date") << "label" << "<Version Date>" << BuildDateLine() << false;
    QTest::newRow("label below a child") << "nested label" << "<Copyright>" << CopyrightLine() << false;

    QTest::newRow("lower case") << "label" << "<product name>" << "<product name>" << false;
    QTest::newRow("upper case") << "label" << "<PRODUCT NAME>" << "<PRODUCT NAME>" << false;
    QTest::newRow("trailing blank") << "label" << "<Product Name> " << "<Product Name> " << false;
    QTest::newRow("leading blank") << "label" << " <Copyright>" << " <Copyright>" << false;
    QTest::newRow("part of a text") << "label" << "Name: <Product Name>" << "Name: <Product Name>" << false;
    QTest::newRow("caption") << "label" << "Brought to you by" << "Brought to you by" << false;
    QTest::newRow("empty") << "label" << "" << "" << false;

    QTest::newRow("button") << "button" << productName << productName << false;
    QTest::newRow("edit field") << "edit" << "<Co-brand Name>" << "<Co-brand Name>" << false;
    QTest::newRow("frame title") << "frame" << "<Copyright>" << "<Copyright>" << false;
}

void AboutDialogTests::fillPlaceholders()
{
    QFETCH(QString, kind);
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QFETCH(bool, heading);

    QWidget root;
    QWidget* widget = nullptr;
    if (kind == QLatin1String("label"))
        widget = new QLabel(text, &root);
    else if (kind == QLatin1String("nested label"))
        widget = new QLabel(text, new QWidget(new QWidget(&root)));
    else if (kind == QLatin1String("button"))
        widget = new QPushButton(text, &root);
    else if (kind == QLatin1String("edit"))
        widget = new QLineEdit(text, &root);
    else
        widget = new QGroupBox(text, &root);

    AboutDialog::FillPlaceholders(&root, AboutDialog::HeadingFont());

    QCOMPARE(TextOf(*widget), expected);
    QCOMPARE(HasHeadingFont(*widget), heading);
    if (!heading)
        QVERIFY(!widget->testAttribute(Qt::WA_SetFont));
}

void AboutDialogTests::secondBoxShowsTheSameTexts()
{
    QStringList first;
    {
        AboutDialog dialog;
        dialog.show();
        first = LabelTexts(dialog);
        dialog.accept();
    }
    AboutDialog second;
    second.show();
    QCOMPARE(LabelTexts(second), first);
    QVERIFY(HasHeadingFont(*LabelShowing(second, ProductNameText())));
    second.accept();
}

void AboutDialogTests::okIsTheDefaultAndOnlyTabStop()
{
    AboutDialog dialog;
    const auto buttons = dialog.findChildren<QPushButton*>();
    QCOMPARE(buttons.size(), 1);
    QPushButton* ok = buttons.first();
    QCOMPARE(ok->text(), QStringLiteral("OK"));
    QVERIFY(ok->isDefault());

    for (const QWidget* child : dialog.findChildren<QWidget*>()) {
        const bool tabStop = (child->focusPolicy() & Qt::TabFocus) == Qt::TabFocus;
        QCOMPARE(tabStop, child == ok);
    }
    QCOMPARE(dialog.focusWidget(), ok);
}

enum class CloseBy { OkButton, EnterOnBox, EnterOnOk, Escape, CloseBox };

void AboutDialogTests::closes_data()
{
    QTest::addColumn<int>("how");
    QTest::addColumn<int>("result");

    QTest::newRow("OK") << int(CloseBy::OkButton) << int(QDialog::Accepted);
    QTest::newRow("Enter on the box") << int(CloseBy::EnterOnBox) << int(QDialog::Accepted);
    QTest::newRow("Enter on OK") << int(CloseBy::EnterOnOk) << int(QDialog::Accepted);
    QTest::newRow("Escape") << int(CloseBy::Escape) << int(QDialog::Rejected);
    QTest::newRow("close box") << int(CloseBy::CloseBox) << int(QDialog::Rejected);
}

void AboutDialogTests::closes()
{
    QFETCH(int, how);
    QFETCH(int, result);

    AboutDialog dialog;
    dialog.setResult(-1);
    dialog.show();
    QVERIFY(dialog.isVisible());
    QPushButton* ok = dialog.findChild<QPushButton*>();
    QVERIFY(ok != nullptr);

    switch (static_cast<CloseBy>(how)) {
    case CloseBy::OkButton:
        QTest::mouseClick(ok, Qt::LeftButton);
        break;
    case CloseBy::EnterOnBox:
        QTest::keyClick(&dialog, Qt::Key_Return);
        break;
    case CloseBy::EnterOnOk:
        QTest::keyClick(ok, Qt::Key_Enter);
        break;
    case CloseBy::Escape:
        QTest::keyClick(&dialog, Qt::Key_Escape);
        break;
    case CloseBy::CloseBox:
        QVERIFY(dialog.close());
        break;
    }

    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), result);
}

void AboutDialogTests::windowHasFixedTemplateSizeAndCaption()
{
    AboutDialog dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("About"));

    const QSize expected = plexor::DialogUnits(dialog.font()).ToPixels(251, 190);
    QCOMPARE(dialog.minimumSize(), expected);
    QCOMPARE(dialog.maximumSize(), expected);
    QCOMPARE(dialog.font().pointSize(), 8);

    // A fixed-size box offers neither minimise nor maximise: the window
    // manager is asked for a title and a close button only.
    const Qt::WindowFlags flags = dialog.windowFlags();
    QVERIFY(flags.testFlag(Qt::CustomizeWindowHint));
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowFullscreenButtonHint));
    // What the platform window (and so the window manager) is told.
    dialog.winId();
    QVERIFY(dialog.windowHandle() != nullptr);
    QCOMPARE(dialog.windowHandle()->minimumSize(), dialog.windowHandle()->maximumSize());
    QVERIFY(!dialog.windowHandle()->flags().testFlag(Qt::WindowMaximizeButtonHint));
}

void AboutDialogTests::iconShowsTheApplicationIcon()
{
    QPixmap red(64, 64);
    red.fill(Qt::red);
    QApplication::setWindowIcon(QIcon(red));

    QPixmap shown;
    {
        AboutDialog dialog;
        for (const QLabel* label : dialog.findChildren<QLabel*>()) {
            if (!label->pixmap().isNull())
                shown = label->pixmap();
        }
    }
    QApplication::setWindowIcon(QIcon());

    QVERIFY(!shown.isNull());
    const QImage image = shown.toImage();
    QCOMPARE(image.pixelColor(image.width() / 2, image.height() / 2), QColor(Qt::red));
}

// Whatever font the platform substitutes for the template font, every control
// stays inside the box and every text fits its control.
void AboutDialogTests::controlsFitTheBoxAndTheirTexts()
{
    AboutDialog dialog;
    const QRect box(QPoint(0, 0), dialog.minimumSize());
    for (const QWidget* child : dialog.findChildren<QWidget*>())
        QVERIFY2(box.contains(child->geometry()), child->metaObject()->className());

    for (const QLabel* label : TextLabels(dialog)) {
        const QString text = label->text();
        if (label->wordWrap()) {
            QVERIFY2(label->heightForWidth(label->width()) <= label->height(), qPrintable(text));
        } else {
            const QFontMetrics metrics(label->font());
            QVERIFY2(metrics.horizontalAdvance(text) <= label->width(), qPrintable(text));
            QVERIFY2(metrics.height() <= label->height(), qPrintable(text));
        }
    }

    // The upper frame holds the icon, product name and copyright line; the
    // middle one the caption and the co-brand name.
    auto frames = dialog.findChildren<QGroupBox*>();
    QCOMPARE(frames.size(), 2);
    std::sort(frames.begin(), frames.end(), [](auto* a, auto* b) { return a->y() < b->y(); });
    for (const QString& text : {ProductNameText(), CopyrightLine()})
        QVERIFY(frames[0]->geometry().contains(LabelShowing(dialog, text)->geometry()));
    for (const QString& text : {CoBrandText(), QStringLiteral("Brought to you by")})
        QVERIFY(frames[1]->geometry().contains(LabelShowing(dialog, text)->geometry()));
    for (const QLabel* label : dialog.findChildren<QLabel*>()) {
        if (label->text().isEmpty())
            QVERIFY(frames[0]->geometry().contains(label->geometry()));
    }
}

void AboutDialogTests::dialogUnits_data()
{
    QTest::addColumn<int>("baseX");
    QTest::addColumn<int>("baseY");
    QTest::addColumn<QRect>("units");
    QTest::addColumn<QRect>("pixels");

    QTest::newRow("exact") << 8 << 16 << QRect(4, 8, 12, 24) << QRect(8, 16, 24, 48);
    QTest::newRow("rounded up") << 6 << 13 << QRect(251, 190, 1, 1) << QRect(377, 309, 2, 2);
    QTest::newRow("rounded down") << 5 << 11 << QRect(1, 1, 17, 3) << QRect(1, 1, 21, 4);
    QTest::newRow("half goes up") << 6 << 12 << QRect(1, 1, 3, 3) << QRect(2, 2, 5, 5);
    QTest::newRow("zero") << 7 << 15 << QRect(0, 0, 0, 0) << QRect(0, 0, 0, 0);
    QTest::newRow("base units below one") << 0 << -3 << QRect(4, 8, 8, 16) << QRect(1, 1, 2, 2);
}

void AboutDialogTests::dialogUnits()
{
    QFETCH(int, baseX);
    QFETCH(int, baseY);
    QFETCH(QRect, units);
    QFETCH(QRect, pixels);

    const plexor::DialogUnits converter(baseX, baseY);
    QCOMPARE(converter.ToPixels(units.x(), units.y(), units.width(), units.height()), pixels);
}

QTEST_MAIN(AboutDialogTests)
#include "about_dialog_tests.moc"
