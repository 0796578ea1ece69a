#pragma once

#include <QDialog>
#include <QFont>

class QWidget;

namespace plexor {

// The About box: product name, copyright line, co-brand name and build date.
// Its labels are built with placeholder texts which are replaced by the live
// (freshly deciphered) values when the box is set up, so every new box shows
// the current texts. Closed by OK, Enter, Escape or the close box.
class AboutDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AboutDialog)

public:
    explicit AboutDialog(QWidget* parent = nullptr);
    ~AboutDialog() override;

    // The heading font of the product name and the co-brand name: Arial,
    // bold, sized to a 20-pixel character cell.
    static QFont HeadingFont();

    // Replaces the text of every QLabel below `root` whose whole text is
    // exactly one of "<Product Name>", "<Copyright>", "<Co-brand Name>" or
    // "<Version Date>" by its value; the product name and co-brand name
    // labels also get `headingFont`. Other widgets and other texts are left
    // alone.
    static void FillPlaceholders(QWidget* root, const QFont& headingFont);

private:
    void CreateControls();

    QFont m_font;
};

} // namespace plexor
