#include "up_down_control.h"

#include <algorithm>
#include <cstdint>

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>

#include "integer_field.h"

namespace plexor
{
    UpDownControl::UpDownControl(QWidget* parent)
        : QWidget(parent)
        , m_up(new QToolButton(this))
        , m_down(new QToolButton(this))
    {
        for (QToolButton* button : {m_up, m_down})
        {
            button->setFocusPolicy(Qt::NoFocus);
            button->setAutoRepeat(true);
            button->setAutoRaise(false);
        }
        m_up->setArrowType(Qt::UpArrow);
        m_down->setArrowType(Qt::DownArrow);
        m_up->setObjectName(QStringLiteral("up"));
        m_down->setObjectName(QStringLiteral("down"));
        connect(m_up, &QToolButton::clicked, this, [this] { Step(1); });
        connect(m_down, &QToolButton::clicked, this, [this] { Step(-1); });
    }

    void UpDownControl::SetBuddy(QLineEdit* buddy)
    {
        if (m_buddy != nullptr)
            m_buddy->removeEventFilter(this);
        m_buddy = buddy;
        if (m_buddy != nullptr)
            m_buddy->installEventFilter(this);
    }

    void UpDownControl::SetRange(int lower, int upper)
    {
        m_lower = std::min(lower, upper);
        m_upper = std::max(lower, upper);
        m_position = std::clamp(m_position, m_lower, m_upper);
    }

    void UpDownControl::Step(int delta)
    {
        if (m_buddy == nullptr)
            return;
        const std::optional<std::int32_t> typed = ParseIntegerField(m_buddy->text().toStdString());
        const std::int64_t from = typed ? *typed : m_position;
        const std::int64_t to = std::clamp<std::int64_t>(from + delta, m_lower, m_upper);
        m_position = static_cast<int>(to);
        m_buddy->setText(QString::number(m_position));
    }

    bool UpDownControl::eventFilter(QObject* watched, QEvent* event)
    {
        if (watched == m_buddy && event->type() == QEvent::KeyPress)
        {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down)
            {
                Step(key->key() == Qt::Key_Up ? 1 : -1);
                return true;
            }
        }
        return QWidget::eventFilter(watched, event);
    }

    void UpDownControl::resizeEvent(QResizeEvent* event)
    {
        QWidget::resizeEvent(event);
        const int upperHeight = height() / 2;
        m_up->setGeometry(0, 0, width(), upperHeight);
        m_down->setGeometry(0, upperHeight, width(), height() - upperHeight);
    }
}
