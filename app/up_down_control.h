#pragma once

// A pair of arrow buttons attached to a number field: each click (or the Up
// and Down keys in the field) steps the number in the field by one within the
// control's range and writes it back as decimal text. A number typed into the
// field is not limited by the range.

#include <QWidget>

class QLineEdit;
class QToolButton;

namespace plexor
{
    class UpDownControl final : public QWidget
    {
        Q_OBJECT

    public:
        explicit UpDownControl(QWidget* parent = nullptr);

        void SetBuddy(QLineEdit* buddy);
        QLineEdit* Buddy() const { return m_buddy; }

        void SetRange(int lower, int upper);
        int Lower() const { return m_lower; }
        int Upper() const { return m_upper; }

        // Steps the field's number by `delta`, kept within the range. A field
        // that holds no number steps from the last position the control set.
        void Step(int delta);

        QToolButton* UpButton() const { return m_up; }
        QToolButton* DownButton() const { return m_down; }

    protected:
        bool eventFilter(QObject* watched, QEvent* event) override;
        void resizeEvent(QResizeEvent* event) override;

    private:
        QToolButton* m_up;
        QToolButton* m_down;
        QLineEdit* m_buddy = nullptr;
        int m_lower = 0;
        int m_upper = 100;
        int m_position = 0;
    };
}
