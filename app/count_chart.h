#pragma once

// The chart shown after a count: the largest providers (or name servers) as
// horizontal bars, each with its share of the domains counted and its
// number of domains, and the concentration figures beside the bars. The
// window that holds it saves the bars and the figures as a PNG image.

#include <cstdint>
#include <vector>

#include <QDialog>
#include <QString>
#include <QStringList>

#include "count/count_table.h"

class QLabel;
class QPushButton;

namespace plexor
{
    // One bar: the provider or server, its domains, and its share as the
    // table writes it ("13.90").
    struct ChartRow
    {
        QString name;
        std::uint64_t domains = 0;
        QString share;

        friend bool operator==(const ChartRow&, const ChartRow&) = default;
    };

    // The bars, painted with the widget's font: the names in a column of
    // their own (a very long one shortened with an ellipsis), the bars
    // scaled to the largest row, "13.90%  1234" after each bar. Its size
    // hint holds every text whole.
    class CountChart final : public QWidget
    {
    public:
        explicit CountChart(QWidget* parent = nullptr);

        void SetRows(std::vector<ChartRow> rows);
        const std::vector<ChartRow>& Rows() const { return m_rows; }
        // What is written after a row's bar.
        static QString ValueText(const ChartRow& row);

        QSize sizeHint() const override;
        QSize minimumSizeHint() const override { return sizeHint(); }

    protected:
        void paintEvent(QPaintEvent* event) override;

    private:
        int RowHeight() const;
        int NameColumnWidth() const;
        int BarColumnWidth() const;
        int ValueColumnWidth() const;
        int Margin() const;

        std::vector<ChartRow> m_rows;
    };

    // The window of the chart: a title, the bars, the figures, and the
    // buttons "Save as PNG..." and "Close". Save asks its owner for a file
    // (saveRequested), which then calls SavePng. It takes its owner's font.
    class CountChartDialog final : public QDialog
    {
        Q_OBJECT

    public:
        // At most this many rows are shown.
        static constexpr std::size_t kChartRows = 20;

        CountChartDialog(CountBy by, std::vector<ChartRow> rows, const QStringList& figures,
                         QWidget* parent = nullptr);

        CountChart* Chart() const { return m_chart; }
        QLabel* Title() const { return m_title; }
        QLabel* FiguresText() const { return m_figures; }
        QPushButton* SaveButton() const { return m_saveButton; }
        // What an image of the chart holds: the title, the bars and the
        // figures.
        QWidget* Panel() const { return m_panel; }

        // Writes the panel as a PNG image; false when the file cannot be
        // written.
        bool SavePng(const QString& path) const;

    signals:
        void saveRequested();

    private:
        QWidget* m_panel = nullptr;
        QLabel* m_title = nullptr;
        CountChart* m_chart = nullptr;
        QLabel* m_figures = nullptr;
        QPushButton* m_saveButton = nullptr;
    };
}
