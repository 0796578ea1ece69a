#include "count_chart.h"

#include <algorithm>

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace plexor
{
    namespace
    {
        // In average character widths of the widget's font: the longest
        // name column (longer names end in an ellipsis) and the bars'.
        constexpr int kNameColumnChars = 36;
        constexpr int kBarColumnChars = 40;
        const QColor kBarColor(0x2f, 0x6d, 0xb0);

        // "The 20 providers with the most domains".
        QString ChartTitle(CountBy by, std::size_t rows)
        {
            if (rows == 0)
                return QStringLiteral("No domains were counted.");
            const bool one = rows == 1;
            const QString what = by == CountBy::Server ? (one ? QStringLiteral("name server") : QStringLiteral("name servers"))
                                                       : (one ? QStringLiteral("provider") : QStringLiteral("providers"));
            return one ? QStringLiteral("The %1 of the domains").arg(what)
                       : QStringLiteral("The %1 %2 with the most domains").arg(rows).arg(what);
        }
    }

    CountChart::CountChart(QWidget* parent)
        : QWidget(parent)
    {
        setAutoFillBackground(true);
        setBackgroundRole(QPalette::Base);
        setAccessibleName(QStringLiteral("Chart of the largest counts"));
    }

    void CountChart::SetRows(std::vector<ChartRow> rows)
    {
        m_rows = std::move(rows);
        updateGeometry();
        update();
    }

    QString CountChart::ValueText(const ChartRow& row)
    {
        return QStringLiteral("%1%  %2").arg(row.share).arg(row.domains);
    }

    int CountChart::Margin() const
    {
        return fontMetrics().averageCharWidth();
    }

    int CountChart::RowHeight() const
    {
        return fontMetrics().height() + fontMetrics().height() / 2;
    }

    int CountChart::NameColumnWidth() const
    {
        int widest = 0;
        for (const ChartRow& row : m_rows)
            widest = std::max(widest, fontMetrics().horizontalAdvance(row.name));
        // A pixel or two beyond the advance, which is rounded, so that a
        // name that fits is never shortened.
        return std::min(widest + 2, kNameColumnChars * fontMetrics().averageCharWidth());
    }

    int CountChart::BarColumnWidth() const
    {
        return kBarColumnChars * fontMetrics().averageCharWidth();
    }

    int CountChart::ValueColumnWidth() const
    {
        int widest = 0;
        for (const ChartRow& row : m_rows)
            widest = std::max(widest, fontMetrics().horizontalAdvance(ValueText(row)));
        return widest;
    }

    QSize CountChart::sizeHint() const
    {
        const int margin = Margin();
        const int width = margin + NameColumnWidth() + margin + BarColumnWidth() + margin + ValueColumnWidth() + margin;
        const int rows = static_cast<int>(std::max<std::size_t>(m_rows.size(), 1));
        return {width, 2 * margin + rows * RowHeight()};
    }

    void CountChart::paintEvent(QPaintEvent*)
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing, false);
        const QFontMetrics metrics = fontMetrics();
        const int margin = Margin();
        const int nameWidth = NameColumnWidth();
        const int barLeft = margin + nameWidth + margin;
        const int barWidth = BarColumnWidth();
        const int rowHeight = RowHeight();
        const int barHeight = metrics.height();
        // The bars are scaled to the largest, which is first.
        const std::uint64_t largest = m_rows.empty() ? 0 : m_rows.front().domains;
        painter.setPen(palette().color(QPalette::Text));
        for (std::size_t i = 0; i < m_rows.size(); ++i)
        {
            const ChartRow& row = m_rows[i];
            const int top = margin + static_cast<int>(i) * rowHeight;
            const QRect nameRect(margin, top, nameWidth, rowHeight);
            painter.drawText(nameRect, Qt::AlignRight | Qt::AlignVCenter,
                             metrics.elidedText(row.name, Qt::ElideMiddle, nameWidth));
            const double fraction = largest == 0 ? 0.0 : static_cast<double>(row.domains) / static_cast<double>(largest);
            const int length = std::max(row.domains > 0 ? 1 : 0, static_cast<int>(fraction * barWidth + 0.5));
            painter.fillRect(QRect(barLeft, top + (rowHeight - barHeight) / 2, length, barHeight), kBarColor);
            const QRect valueRect(barLeft + length + margin, top, width() - (barLeft + length + margin), rowHeight);
            painter.drawText(valueRect, Qt::AlignLeft | Qt::AlignVCenter, ValueText(row));
        }
    }

    CountChartDialog::CountChartDialog(CountBy by, std::vector<ChartRow> rows, const QStringList& figures,
                                       QWidget* parent)
        : QDialog(parent)
    {
        // A window of its own does not take its owner's font by itself.
        if (parent != nullptr)
            setFont(parent->font());
        setWindowTitle(by == CountBy::Server ? QStringLiteral("Domains per Name Server")
                                             : QStringLiteral("Domains per Provider"));
        rows.resize(std::min(rows.size(), kChartRows));

        m_panel = new QWidget(this);
        m_panel->setAutoFillBackground(true);
        m_panel->setBackgroundRole(QPalette::Base);
        m_title = new QLabel(ChartTitle(by, rows.size()), m_panel);
        QFont bold = m_title->font();
        bold.setBold(true);
        m_title->setFont(bold);
        m_chart = new CountChart(m_panel);
        m_chart->SetRows(std::move(rows));
        m_figures = new QLabel(figures.join(QLatin1Char('\n')), m_panel);
        m_figures->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        m_figures->setTextInteractionFlags(Qt::TextSelectableByMouse);
        m_figures->setAccessibleName(QStringLiteral("Concentration figures"));

        auto* bars = new QVBoxLayout;
        bars->addWidget(m_title);
        bars->addWidget(m_chart);
        bars->addStretch(1);
        auto* panelLayout = new QHBoxLayout(m_panel);
        panelLayout->addLayout(bars);
        panelLayout->addSpacing(fontMetrics().averageCharWidth() * 2);
        panelLayout->addWidget(m_figures, 0, Qt::AlignTop);

        m_saveButton = new QPushButton(QStringLiteral("&Save as PNG..."), this);
        m_saveButton->setAutoDefault(false);
        auto* close = new QPushButton(QStringLiteral("Close"), this);
        close->setDefault(true);
        auto* buttons = new QHBoxLayout;
        buttons->addStretch(1);
        buttons->addWidget(m_saveButton);
        buttons->addWidget(close);

        auto* layout = new QVBoxLayout(this);
        layout->addWidget(m_panel);
        layout->addLayout(buttons);
        layout->setSizeConstraint(QLayout::SetFixedSize);

        connect(m_saveButton, &QPushButton::clicked, this, &CountChartDialog::saveRequested);
        connect(close, &QPushButton::clicked, this, &QDialog::close);
    }

    bool CountChartDialog::SavePng(const QString& path) const
    {
        const QPixmap image = m_panel->grab();
        return !image.isNull() && image.save(path, "PNG");
    }
}
