#pragma once

// The main dialog's controls as template rows, the way each block of the
// dialog (zone_file_row.cpp, length_block.cpp, ...) lists its own: kind,
// rectangle in dialog units, text and names. ControlBuilder makes the widgets
// of a block's rows on the dialog.

#include <map>
#include <span>
#include <vector>

#include <QRect>
#include <QString>

class QComboBox;
class QLineEdit;
class QWidget;

namespace plexor
{
    class DialogUnits;

    enum class ControlKind
    {
        ZoneFileText, // sunken, centred
        StatusText,   // sunken, left-aligned
        PushButton,
        GroupBox,
        Label,
        Edit,
        UpDown,  // attached to the Edit row just before it
        CheckBox,
        ComboBox // empty: its block adds the items
    };

    // One control. Rectangles are x, y, width, height in dialog units.
    struct ControlTemplate
    {
        int id; // kNoControlId: an unnamed label or frame
        ControlKind kind;
        int x;
        int y;
        int width;
        int height;
        const char* text;
        const char* objectName; // for controls without an id
        const char* accessibleName;
    };

    inline constexpr int kNoControlId = -1;

    // `text` without its mnemonic marks (&).
    QString WithoutMnemonic(const char* text);

    // Shows `text` in an edit field, or in a static text with the whole text
    // as its tooltip (a long path is shown shortened).
    void SetControlText(QWidget* control, const QString& text);

    // A combo box at `rect` (pixels), never cut below what its style needs:
    // the template's height is that of the closed box in the template font.
    void PlaceComboBox(QComboBox* combo, const QRect& rect);

    class ControlBuilder final
    {
    public:
        // Makes children of `dialog`; their edit fields get `dialog` as their
        // event filter. Controls with an id are entered in `controls`.
        ControlBuilder(QWidget& dialog, const DialogUnits& units, std::map<int, QWidget*>& controls);

        // The widgets of `rows`, made in row order, geometry, object name
        // and accessible name set.
        std::vector<QWidget*> Build(std::span<const ControlTemplate> rows);

        const DialogUnits& Units() const { return m_units; }

    private:
        QWidget* Make(const ControlTemplate& row, const QRect& rect, QLineEdit*& lastEdit);

        QWidget& m_dialog;
        const DialogUnits& m_units;
        std::map<int, QWidget*>& m_controls;
    };
}
