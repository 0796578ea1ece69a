#include "control_template.h"

#include <algorithm>
#include <limits>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include "about/dialog_units.h"
#include "control_ids.h"
#include "elided_label.h"
#include "up_down_control.h"

namespace plexor
{
    QString WithoutMnemonic(const char* text)
    {
        QString plain = QString::fromUtf8(text);
        plain.remove(QLatin1Char('&'));
        return plain;
    }

    void SetControlText(QWidget* control, const QString& text)
    {
        if (auto* edit = qobject_cast<QLineEdit*>(control))
            edit->setText(text);
        else if (auto* label = qobject_cast<ElidedLabel*>(control))
        {
            label->setText(text);
            label->setToolTip(text);
        }
    }

    void PlaceComboBox(QComboBox* combo, const QRect& rect)
    {
        combo->setGeometry(rect.x(), rect.y(), rect.width(), std::max(rect.height(), combo->sizeHint().height()));
    }

    ControlBuilder::ControlBuilder(QWidget& dialog, const DialogUnits& units, std::map<int, QWidget*>& controls)
        : m_dialog(dialog)
        , m_units(units)
        , m_controls(controls)
    {
    }

    std::vector<QWidget*> ControlBuilder::Build(std::span<const ControlTemplate> rows)
    {
        std::vector<QWidget*> widgets;
        QLineEdit* lastEdit = nullptr;
        for (const ControlTemplate& row : rows)
        {
            const QRect rect = m_units.ToPixels(row.x, row.y, row.width, row.height);
            const bool attached = row.kind == ControlKind::UpDown && lastEdit != nullptr;
            QWidget* widget = Make(row, rect, lastEdit);
            if (row.kind == ControlKind::ComboBox)
                PlaceComboBox(static_cast<QComboBox*>(widget), rect);
            else if (!attached)
                widget->setGeometry(rect);
            widget->setObjectName(row.id != kNoControlId ? ControlObjectName(row.id)
                                                          : QString::fromLatin1(row.objectName));
            widget->setAccessibleName(WithoutMnemonic(row.accessibleName));
            if (row.id != kNoControlId)
                m_controls.emplace(row.id, widget);
            if (row.kind == ControlKind::UpDown)
                lastEdit = nullptr;
            widgets.push_back(widget);
        }
        return widgets;
    }

    QWidget* ControlBuilder::Make(const ControlTemplate& row, const QRect& rect, QLineEdit*& lastEdit)
    {
        const QString text = row.text != nullptr ? QString::fromUtf8(row.text) : QString();
        switch (row.kind)
        {
        case ControlKind::ZoneFileText:
        case ControlKind::StatusText:
        {
            auto* label = new ElidedLabel(&m_dialog);
            label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            label->setAlignment((row.kind == ControlKind::ZoneFileText ? Qt::AlignHCenter : Qt::AlignLeft)
                                | Qt::AlignVCenter);
            label->setIndent(2);
            label->setText(text);
            return label;
        }
        case ControlKind::PushButton:
        {
            auto* button = new QPushButton(text, &m_dialog);
            // No button is the default: Enter in a field starts nothing.
            button->setAutoDefault(false);
            button->setDefault(false);
            return button;
        }
        case ControlKind::GroupBox:
            return new QGroupBox(text, &m_dialog);
        case ControlKind::Label:
        {
            auto* label = new QLabel(text, &m_dialog);
            label->setTextFormat(Qt::PlainText);
            return label;
        }
        case ControlKind::Edit:
            lastEdit = new QLineEdit(&m_dialog);
            lastEdit->installEventFilter(&m_dialog);
            // Qt would cut a longer text at 32767 characters, and what a
            // field shows is what Close keeps.
            lastEdit->setMaxLength(std::numeric_limits<int>::max());
            return lastEdit;
        case ControlKind::UpDown:
        {
            // Attached to the field before it, at that field's right edge:
            // the field gives up the room the arrows take.
            auto* arrows = new UpDownControl(&m_dialog);
            const int arrowWidth = rect.width();
            if (lastEdit != nullptr)
            {
                const QRect field = lastEdit->geometry();
                lastEdit->setGeometry(field.adjusted(0, 0, -arrowWidth, 0));
                arrows->setGeometry(field.right() + 1 - arrowWidth, field.top(), arrowWidth, field.height());
                arrows->SetBuddy(lastEdit);
            }
            arrows->UpButton()->setAccessibleName(WithoutMnemonic(row.accessibleName) + QStringLiteral(" up"));
            arrows->DownButton()->setAccessibleName(WithoutMnemonic(row.accessibleName) + QStringLiteral(" down"));
            return arrows;
        }
        case ControlKind::CheckBox:
            return new QCheckBox(text, &m_dialog);
        case ControlKind::ComboBox:
            return new QComboBox(&m_dialog);
        }
        return nullptr;
    }
}
