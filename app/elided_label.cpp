#include "elided_label.h"

#include <algorithm>

#include <QPainter>
#include <QStyle>

namespace plexor
{
    ElidedLabel::ElidedLabel(QWidget* parent)
        : QLabel(parent)
    {
        setTextFormat(Qt::PlainText);
    }

    QString ElidedLabel::DisplayedText() const
    {
        const int inset = margin() + std::max(indent(), 0);
        const int available = contentsRect().width() - 2 * inset;
        return fontMetrics().elidedText(text(), Qt::ElideMiddle, std::max(available, 0));
    }

    void ElidedLabel::paintEvent(QPaintEvent* event)
    {
        // The frame as QLabel draws it, the text shortened to fit.
        QFrame::paintEvent(event);
        QPainter painter(this);
        const int inset = margin() + std::max(indent(), 0);
        const QRect area = contentsRect().adjusted(inset, margin(), -inset, -margin());
        style()->drawItemText(&painter, area, static_cast<int>(alignment()), palette(), isEnabled(),
                              DisplayedText(), foregroundRole());
    }
}
