#pragma once

// A static text that keeps its whole text but, when the text is wider than
// the control, shows it shortened in the middle ("/home/.../com.zone"), so a
// long path still shows its start and its file name.

#include <QLabel>

namespace plexor
{
    class ElidedLabel final : public QLabel
    {
        Q_OBJECT

    public:
        explicit ElidedLabel(QWidget* parent = nullptr);

        // The text as it is drawn now.
        QString DisplayedText() const;

    protected:
        void paintEvent(QPaintEvent* event) override;
    };
}
