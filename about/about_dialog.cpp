#include "about_dialog.h"

#include <array>
#include <string>

#include <QFontMetrics>
#include <QGroupBox>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QString>
#include <QStringView>

#include "about/build_date.h"
#include "about/dialog_units.h"
#include "about/program_texts.h"

namespace plexor {

namespace {

// The box's template, in dialog units of its 8-point dialog font.
constexpr int kDialogWidth = 251;
constexpr int kDialogHeight = 190;
constexpr int kTemplatePointSize = 8;

struct Placeholder
{
    QStringView text;
    std::string (*value)();
    bool headingFont;
};

std::string BuildDateLine()
{
    return "Build Date: " + BuildDateText();
}

// Compared in this order; the first whose text matches decides.
const std::array<Placeholder, 4> kPlaceholders{{
    {u"<Product Name>", &ProductName, true},
    {u"<Copyright>", &CopyrightText, false},
    {u"<Co-brand Name>", &CoBrandName, true},
    {u"<Version Date>", &BuildDateLine, false},
}};

// A static text control: plain text (no markup, no mnemonics), no focus.
QLabel* AddLabel(QWidget* parent, const QString& text, const QRect& geometry, Qt::Alignment alignment,
                 bool wordWrap)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(alignment);
    label->setWordWrap(wordWrap);
    label->setGeometry(geometry);
    return label;
}

QGroupBox* AddFrame(QWidget* parent, const QRect& geometry)
{
    auto* frame = new QGroupBox(parent);
    frame->setFocusPolicy(Qt::NoFocus);
    frame->setGeometry(geometry);
    return frame;
}

} // namespace

AboutDialog::AboutDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
    , m_font(HeadingFont())
{
    setWindowTitle(QStringLiteral("About"));
    setFont(TemplateFont(QStringLiteral("MS Sans Serif"), kTemplatePointSize));

    CreateControls();
    FillPlaceholders(this, m_font);
}

AboutDialog::~AboutDialog() = default;

// Arial, bold, with a character cell (ascent plus descent) of 20 pixels: the
// height the product-name and co-brand labels are laid out for. Where Arial
// is missing, a metric-compatible face stands in before the generic fallback
// of the (Roman) family hint.
QFont AboutDialog::HeadingFont()
{
    constexpr int kCellHeight = 20;

    QFont font;
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                      QStringLiteral("Nimbus Sans")});
    font.setStyleHint(QFont::Serif);
    font.setBold(true);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);

    // A pixel size is the em height, which is smaller than the cell.
    font.setPixelSize(kCellHeight);
    while (font.pixelSize() > 1 && QFontMetrics(font).height() > kCellHeight)
        font.setPixelSize(font.pixelSize() - 1);
    return font;
}

void AboutDialog::FillPlaceholders(QWidget* root, const QFont& headingFont)
{
    if (root == nullptr)
        return;

    const auto labels = root->findChildren<QLabel*>();
    for (QLabel* label : labels) {
        const QString text = label->text();
        for (const Placeholder& placeholder : kPlaceholders) {
            if (text != placeholder.text)
                continue;
            // Each value is made when its label is met, nothing is kept.
            label->setText(QString::fromStdString(placeholder.value()));
            if (placeholder.headingFont)
                label->setFont(headingFont);
            break;
        }
    }
}

// The controls in template order. Only OK takes the focus.
void AboutDialog::CreateControls()
{
    const DialogUnits units(font());
    setFixedSize(units.ToPixels(kDialogWidth, kDialogHeight));

    const QRect iconRect = units.ToPixels(17, 15, 20, 20);
    auto* icon = new QLabel(this);
    icon->setGeometry(iconRect);
    icon->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    const int iconExtent = qMin(iconRect.width(), iconRect.height());
    icon->setPixmap(QGuiApplication::windowIcon().pixmap(iconExtent, iconExtent));

    auto* okButton = new QPushButton(QStringLiteral("OK"), this);
    okButton->setGeometry(units.ToPixels(181, 166, 61, 18));
    okButton->setDefault(true);
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);

    constexpr Qt::Alignment kTopLeft = Qt::AlignLeft | Qt::AlignTop;
    AddLabel(this, QStringLiteral("<Product Name>"), units.ToPixels(49, 13, 187, 12),
             Qt::AlignLeft | Qt::AlignVCenter, false);
    AddLabel(this, QStringLiteral("<Copyright>"), units.ToPixels(49, 32, 187, 18), kTopLeft, true);
    AddLabel(this, QStringLiteral("<Co-brand Name>"), units.ToPixels(49, 80, 187, 13), kTopLeft, true);
    AddLabel(this, QStringLiteral("Brought to you by"), units.ToPixels(49, 70, 187, 9), kTopLeft, true);
    AddFrame(this, units.ToPixels(9, 5, 233, 51));
    AddFrame(this, units.ToPixels(9, 60, 233, 39));
    AddLabel(this, QStringLiteral("<Version Date>"), units.ToPixels(9, 171, 76, 8), kTopLeft, true);

    okButton->setFocus();
}

} // namespace plexor
