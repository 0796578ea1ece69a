// The main dialog's look-alike row, below the comparison row: the watched
// terms (a run then writes only the domain names that resemble one of them),
// the names never written, the distance, and the form of the output. With
// the terms field empty and the list form chosen, the dialog and its runs
// are what they are without the row.

#include <array>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "about/dialog_units.h"
#include "control_ids.h"
#include "control_template.h"
#include "main_dialog.h"
#include "settings_keys.h"

#ifdef PLEXOR_HAVE_LOOKALIKE
#include "lookalike/matcher.h"
#include "lookalike/terms.h"
#include "lookalike/watch_list.h"
#endif

namespace plexor
{
    namespace
    {
        namespace id = control_id;

        // In dialog units, below the comparison row; the dialog's height
        // (main_dialog.cpp) leaves room for it. The terms and the exceptions
        // are as wide as the length block, the two choices line up with Open
        // Zone.
        // clang-format off
        constexpr ControlTemplate kLookalikeRows[] {
            {kNoControlId, ControlKind::Label, 5, 290, 183, 8, "Extract names that &look like (comma separated list)", "lookalikeTermsLabel", "Extract names that look like"},
            {id::kLookalikeTermsEdit, ControlKind::Edit, 5, 301, 183, 12, "", nullptr, "Extract names that look like (comma separated list)"},
            {kNoControlId, ControlKind::Label, 193, 290, 84, 8, "Distance", "lookalikeDistanceLabel", "Distance"},
            {id::kLookalikeDistanceCombo, ControlKind::ComboBox, 193, 301, 84, 12, nullptr, nullptr, "Look-alike distance"},
            {kNoControlId, ControlKind::Label, 5, 319, 183, 8, "Except the names (comma separated list)", "lookalikeExceptionsLabel", "Except the names"},
            {id::kLookalikeExceptionsEdit, ControlKind::Edit, 5, 330, 183, 12, "", nullptr, "Except the names (comma separated list)"},
            {kNoControlId, ControlKind::Label, 193, 319, 84, 8, "Output", "outputFormLabel", "Output"},
            {id::kOutputFormCombo, ControlKind::ComboBox, 193, 330, 84, 12, nullptr, nullptr, "Output form"},
        };
        // clang-format on
        constexpr int kDistanceComboRow = 3;
        constexpr int kFormComboRow = 7;

        // The distance box's items: automatic (-1), then 0 to 3 in order.
        constexpr std::array kDistanceItems {"Automatic", "0", "1", "2", "3"};
        constexpr char kAutomaticToolTip[] =
            "0 edits for terms of 1 to 4 characters, 1 for 5 to 8, 2 for longer ones";
        // The output box's items: the list, then the table.
        constexpr char kListItem[] = "List";
        constexpr char kTableItem[] = "Table (TSV)";

        constexpr char kTermsToolTip[] =
            "Write only the domain names that look like one of these words: typos, look-alike letters "
            "(paypa1, Cyrillic \u0440\u0430\u0443\u0440\u0430l) and names that contain the word (paypal-login). "
            "A word written as a domain name (paypal.com) stands for its first label. Empty: no look-alike filter.";
        constexpr char kExceptionsToolTip[] =
            "Names (paypal.com) or labels (purchase) never written: the brand's own domains, its partners', "
            "ordinary words that contain a term.";
        constexpr char kFormToolTip[] =
            "Table (TSV): a header line, then one row per name with its columns name, servers, unicode and, "
            "with look-alike terms, term, kind and distance; lines end in LF. List: one name per line.";
        constexpr char kNameServerModeMessage[] =
            "Look-alike terms find domain names: clear the look-alike field to extract name servers.";

        static_assert(std::size(kDistanceItems) == 5);

        int DistanceItem(std::int32_t distance)
        {
            return distance >= 0 && distance <= 3 ? distance + 1 : 0;
        }
    }

    void MainDialog::CreateLookalikeControls(const DialogUnits& units, QWidget* previousFocusable)
    {
        ControlBuilder builder(*this, units, m_controls);
        const std::vector<QWidget*> widgets = builder.Build(kLookalikeRows);
        m_lookalikeTermsEdit = qobject_cast<QLineEdit*>(ControlById(id::kLookalikeTermsEdit));
        m_lookalikeExceptionsEdit = qobject_cast<QLineEdit*>(ControlById(id::kLookalikeExceptionsEdit));
        m_lookalikeDistanceCombo = qobject_cast<QComboBox*>(ControlById(id::kLookalikeDistanceCombo));
        m_outputFormCombo = qobject_cast<QComboBox*>(ControlById(id::kOutputFormCombo));
        // Alt+L goes to the terms field.
        qobject_cast<QLabel*>(widgets.front())->setBuddy(m_lookalikeTermsEdit);
        m_lookalikeTermsEdit->setToolTip(QString::fromUtf8(kTermsToolTip));
        m_lookalikeExceptionsEdit->setToolTip(QString::fromUtf8(kExceptionsToolTip));

        for (const char* item : kDistanceItems)
            m_lookalikeDistanceCombo->addItem(QString::fromLatin1(item));
        m_lookalikeDistanceCombo->setItemData(0, QString::fromLatin1(kAutomaticToolTip), Qt::ToolTipRole);
        m_outputFormCombo->addItem(QString::fromLatin1(kListItem));
        m_outputFormCombo->addItem(QString::fromLatin1(kTableItem));
        m_outputFormCombo->setToolTip(QString::fromLatin1(kFormToolTip));
        // Placed again now that they have their items.
        for (const int row : {kDistanceComboRow, kFormComboRow})
        {
            const ControlTemplate& combo = kLookalikeRows[row];
            PlaceComboBox(qobject_cast<QComboBox*>(widgets[row]),
                          units.ToPixels(combo.x, combo.y, combo.width, combo.height));
        }

        setTabOrder(previousFocusable, m_lookalikeTermsEdit);
        setTabOrder(m_lookalikeTermsEdit, m_lookalikeDistanceCombo);
        setTabOrder(m_lookalikeDistanceCombo, m_lookalikeExceptionsEdit);
        setTabOrder(m_lookalikeExceptionsEdit, m_outputFormCombo);

        m_lookalikeTermsEdit->setText(m_lookalike.terms);
        m_lookalikeExceptionsEdit->setText(m_lookalike.exceptions);
        m_lookalikeDistanceCombo->setCurrentIndex(DistanceItem(m_lookalike.distance));
        m_outputFormCombo->setCurrentIndex(m_lookalike.form == OutputForm::Tsv ? 1 : 0);
    }

    MainDialog::Lookalike MainDialog::CurrentLookalike() const
    {
        Lookalike lookalike;
        lookalike.terms = m_lookalikeTermsEdit->text();
        lookalike.exceptions = m_lookalikeExceptionsEdit->text();
        lookalike.distance = m_lookalikeDistanceCombo->currentIndex() - 1;
        lookalike.form = m_outputFormCombo->currentIndex() == 1 ? OutputForm::Tsv : OutputForm::List;
        return lookalike;
    }

    void MainDialog::SaveLookalikeSettings()
    {
        m_lookalike = CurrentLookalike();
        using namespace settings;
        Write(m_settings, kLookalikeTerms, m_lookalike.terms);
        Write(m_settings, kLookalikeExceptions, m_lookalike.exceptions);
        Write(m_settings, kLookalikeDistance, m_lookalike.distance);
        Write(m_settings, kOutputForm, OutputFormText(m_lookalike.form));
    }

    bool MainDialog::MakeRunMatcher(const Lookalike& watch, ExtractMode mode,
                                    std::shared_ptr<const lookalike::Matcher>& matcher)
    {
        matcher.reset();
        // Blanks alone are no terms; anything else goes through the same
        // checks as the command line's terms.
        if (watch.terms.trimmed().isEmpty())
            return true;
        if (mode != ExtractMode::Domains)
        {
            ShowWarning(QString::fromLatin1(kNameServerModeMessage));
            return false;
        }
#ifdef PLEXOR_HAVE_LOOKALIKE
        static_assert(lookalike::kAutomaticDistance == -1 && lookalike::kMaxSettableDistance == 3);
        lookalike::TermList list = lookalike::ParseTermList(watch.terms.toStdString());
        if (!list.error.empty())
        {
            ShowWarning(QString::fromStdString(list.error));
            return false;
        }
        lookalike::LookalikeSettings matching;
        matching.terms = std::move(list.terms);
        matching.maxDistance = watch.distance;
        matching.exceptions = lookalike::ParseExceptionList(watch.exceptions.toStdString());
        std::string error;
        std::unique_ptr<lookalike::Matcher> made = lookalike::Matcher::Create(matching, error);
        if (made == nullptr)
        {
            ShowWarning(error.empty() ? QStringLiteral("The look-alike terms cannot be used.")
                                      : QString::fromStdString(error));
            return false;
        }
        matcher = std::move(made);
        return true;
#else
        ShowWarning(QStringLiteral("This build has no look-alike matching."));
        return false;
#endif
    }
}
