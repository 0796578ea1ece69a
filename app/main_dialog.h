#pragma once

// The program's main window: every input of an extraction run, the run
// buttons and the status line. It keeps the dialog's fields in members,
// exchanges them with the controls through one ordered list, persists them in
// the settings store, and runs extractions on a worker thread (job control,
// in job_control.cpp). A zone file dropped on the window is taken as Open
// Zone takes a chosen one (zone_file_drop.cpp).
//
// main_dialog.cpp assembles the window from its blocks, each of which makes
// its controls and handles them in a unit of its own: zone_file_row.cpp,
// length_block.cpp, filter_block.cpp, run_buttons.cpp, window_commands.cpp,
// progress_row.cpp, comparison_row.cpp, lookalike_row.cpp, count_row.cpp. A new row is a new unit of that kind
// with its Create function called from CreateControls.

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <QDialog>
#include <QIcon>
#include <QPointer>
#include <QString>

#include "compare/zone_changes.h"
#include "count/count_run.h"
#include "count/provider_map.h"
#include "output/entry_rows.h"
#include "run/extraction_worker.h"
#include "run/run_progress.h"
#include "output/output_writer.h"
#include "input/zone_line_reader.h"
#include "zone_choice.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMimeData;
class QProgressBar;
class QPushButton;
class QTimer;

namespace plexor
{
    class AboutBoxPresenter;
    class CountChartDialog;
    class ControlBuilder;
    class DesktopOpener;
    class DialogUnits;
    class ElidedLabel;
    class FileDialogs;
    class MessageBoxes;
    class SettingsStore;
    class UpDownControl;
    class ZoneListRun;
    struct ZoneRow;

    // The seams of the dialog: where it keeps its settings and how it reaches
    // the desktop. All must outlive the dialog.
    struct MainDialogServices
    {
        SettingsStore& settings;
        FileDialogs& fileDialogs;
        MessageBoxes& messageBoxes;
        DesktopOpener& desktop;
        AboutBoxPresenter& aboutBox;
    };

    class MainDialog final : public QDialog, public RunContext
    {
        Q_OBJECT

    public:
        // The members that the exchange list binds to controls.
        struct Fields
        {
            std::int32_t maxChars = 0;
            std::int32_t minChars = 0;
            QString nameServerText;
            QString includeWordsText;
            QString excludedChars;
            QString statusText;
            QString zoneFileName;
            std::int32_t appendNameServers = 0;
            std::int32_t zoneType = 0;
        };

        // The filter texts of the file dialogs, as alternating display names
        // and patterns.
        // Each zone filter also lists the gzip form of its files, which the
        // program reads as well.
        static constexpr char kZoneFileFilter[] =
            "Zone Files (*.zone *.zone.gz)|*.zone;*.zone.gz|Text Files (*.txt *.txt.gz)|*.txt;*.txt.gz|"
            "All Files (*.*)|*.* ||";
        static constexpr char kOutputFileFilter[] = "Text Files (*.txt) | *.txt | All Files (*.*) | *.* ||";
        static constexpr char kZoneFileExtension[] = "zone";
        static constexpr char kOutputFileExtension[] = "TXT";
        // The Save dialog of a run that writes a table.
        static constexpr char kTableFileFilter[] =
            "Tab-separated Files (*.tsv) | *.tsv | Text Files (*.txt) | *.txt | All Files (*.*) | *.* ||";
        static constexpr char kTableFileExtension[] = "tsv";
        static constexpr char kOutputDialogTitle[] = "Save Output To";
        static constexpr char kAboutMenuText[] = "&About Plexor2...";
        static constexpr char kLineLimitMenuText[] = "Line Limit...";
        static constexpr char kLineLimitPrompt[] =
            "Lines to read from a zone file before a run ends\n(a whole number; 0 means no limit):";
        static constexpr char kIntegerMessage[] = "Please enter an integer.";
        static constexpr char kPauseCaption[] = "&Pause";
        static constexpr char kGoCaption[] = "&Go";
        static constexpr int kRefreshIntervalMs = 3000;
        // The progress bar and the time left, a few times a second.
        static constexpr int kProgressIntervalMs = 250;
        static constexpr char kTimeLeftFormat[] = "%1 left";
        static constexpr char kPausedText[] = "Paused";
        static constexpr int kArrowLower = 5;
        static constexpr int kArrowUpper = 67;

        // Reads the "Settings" section into the members and builds the
        // window with its controls filled from them.
        explicit MainDialog(const MainDialogServices& services, QWidget* parent = nullptr);
        // Never leaves a run behind: a run still going is aborted and waited
        // for.
        ~MainDialog() override;

        // The control with the given id, or null.
        QWidget* ControlById(int id) const;

        // Copies the controls into the members, in the order of the exchange
        // list. At the first number field that holds no integer it shows
        // "Please enter an integer.", puts the focus into that field with its
        // text selected, leaves that member and the later ones unchanged and
        // returns false.
        bool ReadFields();
        // Copies the members into the controls.
        void WriteFields();

        // Open Zone: one zone file or several.
        void OpenZone();
        // Open Folder: a folder's zone files; a folder that holds none is
        // refused with a message.
        void OpenZoneFolder();
        // What Open Zone or Open Folder chose last (or the settings kept).
        const ZoneChoice& CurrentZoneChoice() const { return m_zoneChoice; }
        // The summary rows of the last run over several zones (none after a
        // run over one).
        const std::vector<ZoneRow>& ZoneListRows() const;
        // The zone file a drop would give: the full path of the one local
        // file dropped. Nothing while a run is active, or when the drop holds
        // more than one item, a folder, or anything that is not a local file.
        std::optional<QString> DroppedZoneFile(const QMimeData* data) const;
        // The file dialog that remembers its folder per default extension.
        // Returns true and sets `path` to the chosen file's full path when the
        // user confirmed a file; leaves `path` alone otherwise.
        // The dialogs belong to `owner`, the main dialog when it is null.
        bool PromptForFile(bool openForm, QString& path, const QString& filter, const QString& defaultExtension,
                           const QString& title, QWidget* owner = nullptr);
        // The same open dialog taking several files (full paths, at least
        // one), and the folder dialog, which opens where the files of
        // `defaultExtension` were chosen last.
        bool PromptForFiles(QStringList& paths, const QString& filter, const QString& defaultExtension);
        bool PromptForFolder(QString& folder, const QString& defaultExtension);
        void ShowAbout();
        // The "Line Limit..." entry: asks for the line limit of the runs to
        // come and stores it. Letters, a negative number or one past the
        // signed 32-bit range get "Please enter an integer." and change
        // nothing.
        void ChangeLineLimit();
        // Refuses while a run is active; otherwise takes the fields into the
        // members without messages (a number field that holds no integer
        // keeps its value), saves them and closes the dialog.
        void CloseDialog();

        // Job control.
        void StartRun(ExtractMode mode);
        void TogglePause();
        void AbortRun();
        void ViewOutput();
        // Enables Pause and Abort and shows the counts while a run is active;
        // disables both otherwise.
        void RefreshRunControls();
        bool IsRunActive() const { return m_runActive; }
        // Brings the progress bar and the time left up to date while a run
        // is active (the progress timer's work).
        void RefreshRunProgress();
        // The stored bytes of the run's input, read and in all, from which
        // the progress is measured: of both zone files in a comparison.
        RunBytes RunProgressBytes() const;
        QProgressBar* ProgressBar() const { return m_progressBar; }
        QLabel* TimeLeftText() const { return m_timeLeftText; }

        // The comparison with an older zone file (comparison_row.cpp).
        struct Comparison
        {
            bool enabled = false;
            QString olderZoneFileName;
            ZoneChanges writes = ZoneChanges::NewNames;
        };
        // The older zone file's Open dialog, with the zone filters.
        void OpenOlderZone();
        // The comparison as the controls show it.
        Comparison CurrentComparison() const;

        // The look-alike row (lookalike_row.cpp): the watched terms and the
        // names never written, as typed (comma-separated), the distance
        // (-1 automatic, else 0 to 3), and the output form for every run.
        struct Lookalike
        {
            QString terms;
            QString exceptions;
            std::int32_t distance = -1;
            OutputForm form = OutputForm::List;
        };
        // The look-alike row as the controls show it.
        Lookalike CurrentLookalike() const;

        // The count row (count_row.cpp): what a count groups by, and the
        // provider map file as typed (blank: none).
        struct Count
        {
            CountBy by = CountBy::Provider;
            QString providerMap;
        };
        // The count row as the controls show it.
        Count CurrentCount() const;
        // Count Servers: a domain run with the servers appended whose
        // entries are counted; the table goes to the output file and the
        // chart is shown after the run. A provider map that cannot be read
        // is shown and starts nothing.
        void StartCount();
        // The provider map's Open dialog.
        void OpenProviderMap();
        // The chart of the last count, while it exists.
        CountChartDialog* CountChartWindow() const;
        // The chart's "Save as PNG...": asks for the file and writes it; a
        // file that cannot be written is reported.
        void SaveCountChart();

        const Fields& CurrentFields() const { return m_fields; }
        QString OutputPath() const { return m_outputPath; }
        // The "&About Plexor2..." entry of the window's context menu.
        QAction* AboutAction() const { return m_aboutAction; }
        // The "Line Limit..." entry beside it.
        QAction* LineLimitAction() const { return m_lineLimitAction; }
        // The line limit of the run started last (0: none).
        std::uint64_t RunLineLimit() const { return m_activeRunLineLimit; }

        // RunContext, used by the worker thread.
        bool IsWindowAlive() const override;
        ExtractMode RunMode() const override;
        std::int32_t RunZoneType() const override;
        OutputForm RunOutputForm() const override;
        ZoneLineReader& ZoneFile() override;
        OutputWriter& OutputFile() override;
        ZoneChanges RunChanges() const override;
        ZoneLineReader* OlderZoneFile() override;
        EntrySink* RunEntrySink() override;
        void ReportRunFailure(const std::string& message) override;
        void SetFinalStatusText(const std::string& text) override;
        void ClearWorkerReference() override;

    public slots:
        // The cancel command: the Close button, the Escape key and the
        // window's close box.
        void reject() override;

    protected:
        void dragEnterEvent(QDragEnterEvent* event) override;
        void dragMoveEvent(QDragMoveEvent* event) override;
        void dropEvent(QDropEvent* event) override;
        // Files dragged over the edit fields are the window's drop, not text
        // for the field.
        bool eventFilter(QObject* watched, QEvent* event) override;
#ifdef Q_OS_WIN
        // The About entry of the window's system menu.
        void showEvent(QShowEvent* event) override;
        bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;
#endif


    private:
        // ReadFields' work: with `stopAtInvalid` false no message is shown
        // and a number field that holds no integer is passed over.
        bool ReadFieldsFrom(bool stopAtInvalid);
        // Remembers the folder of a file that was opened or created, for the
        // next file dialog with that default extension; never a folder of
        // the system's virtual file systems.
        void RememberFolderOf(const QString& path, const QString& defaultExtension);
        void LoadSettings();
        // Makes the blocks of controls, each in its own unit, and sets the
        // tab order across them.
        void CreateControls();
        // The zone file's path, Open Zone and the zone layout box
        // (zone_file_row.cpp).
        void CreateZoneFileRow(ControlBuilder& builder);
        // The shortest and longest names, with their arrows
        // (length_block.cpp).
        void CreateLengthBlock(ControlBuilder& builder);
        // The name filters and the append box (filter_block.cpp).
        void CreateFilterBlock(ControlBuilder& builder);
        // The two start buttons, Pause, Abort and View Output
        // (run_buttons.cpp).
        void CreateRunButtons(ControlBuilder& builder);
        // Close and About (window_commands.cpp).
        void CreateWindowButtons(ControlBuilder& builder);
        // The About and Line Limit entries of the window's menu
        // (window_commands.cpp).
        void CreateWindowMenuEntries();
        // The status line, the progress bar and the time left, and the
        // progress timer (progress_row.cpp).
        void CreateStatusAndProgressRows(ControlBuilder& builder);
        // The zone-type box's item that shows a stored zone type.
        static int ZoneTypeItem(std::int32_t zoneType);
        // Open Zone's work once a path is chosen (also by a drop): the fields
        // are read, the path shown and stored, its folder remembered.
        void TakeZoneFile(const QString& path);
        // Several files or a folder: shown and stored.
        void TakeZoneChoice(const ZoneChoice& choice);
        // The zone path and the fields after the choice changed.
        void ShowZoneChoice();
        // The zone path's text (zone_choice.h).
        QString ZonePathText() const;
        // Lists the chosen zones (a folder again), checks them against the
        // output and creates the output; shows why not and returns false.
        bool OpenZoneListFiles();
        // The run body of a run over several zones.
        static std::optional<std::string> ReadZoneList(RunContext& context, const ZoneReading& reading);
        // After such a run: its failure, then its summary.
        void FinishZoneListRun();
        // Accepts a drag or drop that gives a zone file and returns its path;
        // refuses any other.
        std::optional<QString> AcceptZoneFileDrag(QDropEvent* event) const;
        void ShowRunProgress(const RunProgressFigures& figures);
        // At the start of a run: the bar at its start, the timer going.
        void BeginRunProgress();
        // At the end: the bar full after a run that read its whole input,
        // empty after one that failed or was stopped; the time left blank.
        void EndRunProgress(bool complete);
        // The comparison row below the other controls, last in the tab
        // order after `previousFocusable`; filled from m_comparison.
        void CreateComparisonControls(const DialogUnits& units, QWidget* previousFocusable);
        void SaveComparisonSettings();
        // The look-alike row below the comparison row, last in the tab
        // order after `previousFocusable`; filled from m_lookalike.
        void CreateLookalikeControls(const DialogUnits& units, QWidget* previousFocusable);
        void SaveLookalikeSettings();
        // The watched terms of a run in `mode`: null without terms. Shows
        // why and returns false when the terms cannot be used (a bad term,
        // or terms with the name-server mode); nothing is opened then.
        bool MakeRunMatcher(const Lookalike& watch, ExtractMode mode,
                            std::shared_ptr<const lookalike::Matcher>& matcher);
        // Opens the older zone file of a comparison for the run about to
        // start; shows why not and returns false when it cannot be opened
        // or is the output file.
        bool OpenOlderZoneForRun(const Comparison& comparison);
        // StartRun's work; `count` makes it a count (StartCount).
        void StartRunOf(ExtractMode mode, bool count);
        // The count row below the look-alike row, last in the tab order
        // after `previousFocusable`; filled from m_count.
        void CreateCountControls(const DialogUnits& units, QWidget* previousFocusable);
        void SaveCountSettings();
        // The provider map of a count about to start: null without one.
        // Shows why and returns false when it cannot be read or holds a bad
        // line; nothing is opened then.
        bool LoadRunProviderMap(const Count& count, std::unique_ptr<ProviderMap>& map);
        // The sink of the count about to start, with its map.
        void PrepareRunCount(CountBy by, OutputForm form, std::unique_ptr<ProviderMap> map);
        // After a count that wrote its table: the chart of its largest rows.
        void ShowCountChart();
        // Opens the zone file, the older zone file of a comparison and the
        // output for the run about to start; shows why not, closes what it
        // opened and returns false when one of them cannot be opened.
        bool OpenRunFiles(const Comparison& comparison);
        void ShowWarning(const QString& text);
        // Runs on the dialog's thread once the worker has ended the run.
        void FinishRun();

        SettingsStore& m_settings;
        FileDialogs& m_fileDialogs;
        MessageBoxes& m_messageBoxes;
        DesktopOpener& m_desktop;
        AboutBoxPresenter& m_aboutBox;

        // The worker reference: set before the worker thread starts, cleared
        // on this thread when the worker's end-of-run call arrives. A run is
        // active exactly while it is set.
        bool m_runActive = false;
        std::thread m_worker;
        QString m_outputPath;
        ExtractMode m_runMode = ExtractMode::Domains;
        // Fixed at the start of a run for the worker; the dialog's own values
        // may change meanwhile.
        ExtractMode m_activeRunMode = ExtractMode::Domains;
        std::int32_t m_activeRunZoneType = 0;
        std::uint64_t m_activeRunLineLimit = 0;
        QString m_activeRunZoneFile;
        std::atomic<bool> m_windowAlive {true};
        // A read or write failure reported by the worker, shown when the run
        // has ended.
        std::optional<QString> m_runFailure;
        ZoneLineReader m_zoneFile;
        OutputWriter m_outputFile;
        Comparison m_comparison;
        // What the run in progress (or the last run) compares: None for a
        // plain run.
        ZoneChanges m_activeRunChanges = ZoneChanges::None;
        ZoneLineReader m_olderZoneFile;
        Lookalike m_lookalike;
        // The output form of the run in progress (or the last run).
        OutputForm m_activeRunForm = OutputForm::List;
        Count m_count;
        // The count of the run in progress (or the last run), null for a
        // run that writes its list; the map it reads.
        std::unique_ptr<ProviderMap> m_runProviderMap;
        std::unique_ptr<CountSink> m_runCount;
        CountBy m_activeRunCountBy = CountBy::Provider;
        QPointer<CountChartDialog> m_countChart;

        Fields m_fields;
        ZoneChoice m_zoneChoice;
        // The run over several zones in progress (or the last one); null
        // when the last run read one zone.
        std::unique_ptr<ZoneListRun> m_zoneList;
        QIcon m_icon;

        std::map<int, QWidget*> m_controls;
        QPushButton* m_abortButton = nullptr;
        QPushButton* m_pauseButton = nullptr;
        ElidedLabel* m_statusLine = nullptr;
        ElidedLabel* m_zoneFileLabel = nullptr;
        UpDownControl* m_minCharsArrows = nullptr;
        UpDownControl* m_maxCharsArrows = nullptr;
        QComboBox* m_zoneTypeCombo = nullptr;
        QCheckBox* m_appendCheck = nullptr;
        QCheckBox* m_compareCheck = nullptr;
        QComboBox* m_changesCombo = nullptr;
        ElidedLabel* m_olderZoneFileLabel = nullptr;
        QLineEdit* m_lookalikeTermsEdit = nullptr;
        QLineEdit* m_lookalikeExceptionsEdit = nullptr;
        QComboBox* m_lookalikeDistanceCombo = nullptr;
        QComboBox* m_outputFormCombo = nullptr;
        QLineEdit* m_providerMapEdit = nullptr;
        QComboBox* m_countByCombo = nullptr;
        QAction* m_aboutAction = nullptr;
        QAction* m_lineLimitAction = nullptr;
        QTimer* m_refreshTimer = nullptr;
        QProgressBar* m_progressBar = nullptr;
        QLabel* m_timeLeftText = nullptr;
        QTimer* m_progressTimer = nullptr;
        RunProgressMeter m_progressMeter;
#ifdef Q_OS_WIN
        bool m_systemMenuReady = false;
#endif
    };
}
