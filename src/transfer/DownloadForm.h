#pragma once
// TFormDownload, "Paraméterek beállítása": moves the parameter image between the program and
// the module (read, write, compare), keeps it in ".VR3" files, and opens the editor. The window
// only holds controls; the transfer engine and the file functions hold the rules.
#include <QDialog>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

#include "transfer/QtFlagWaiter.h"
#include "transfer/TransferEngine.h"
#include "transfer/TransferOutcomeText.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace orbiqa {

class ModuleSession;

class TFormDownload : public QDialog, private TransferObserver {
    Q_OBJECT
public:
    enum class FileDialogKind { Open, Save };

    /// What the window asks of its surroundings. Empty members get the ordinary behaviour.
    struct Hooks {
        /// "Adatok szerkesztése": load the image into the editor and show it modally.
        std::function<void()> openEditor;
        /// A plain message box (" Nincs soros kapcsolat.").
        std::function<void(const QString& text)> showMessage;
        /// Asks for a file name, offering lastName; an empty result means cancelled.
        std::function<QString(FileDialogKind kind, const QString& lastName)> chooseFile;
        /// After a read or a write that reached the module, whatever its outcome (the offer to
        /// record it to a site). Runs after the outcome is shown and said.
        std::function<void(TransferKind kind, const TransferResult& result)> transferDone;
    };

    /// The filter of both file dialogs as the program has always named it.
    static constexpr const char* kFileFilter = "Velmora 3 GPRS Data|*.VR3";
    static constexpr const char* kInitialFileName = "*.VR3";

    /// image must be the process-wide ParameterImage's bytes; the session and image outlive the
    /// window, which transfers over the session's channel and waits with its waiter.
    TFormDownload(ModuleSession& session, ImageBytes image, Hooks hooks = {}, QWidget* parent = nullptr);
    /// The same over any channel (tests, other front ends), with a waiter of the window's own.
    TFormDownload(ModuleChannel& channel, ImageBytes image, Hooks hooks = {}, QWidget* parent = nullptr);
    ~TFormDownload() override;

    // Handlers of the controls. Transfer handlers let EComPort through and file handlers
    // EFileError, for the application's error box; the buttons come back either way.
    void btReadClick();
    void btWriteClick();
    void btCompareClick();
    void btOpenClick();
    void btSaveClick();
    void btEditClick();
    /// What "Beolvasás fájlból" does once a name is chosen, for a file handed over from
    /// elsewhere (the command line, a second start, a drop on the main window): the same
    /// routine reads it, so a text is imported there too. The name becomes the open dialog's
    /// next offer. A file that does not load raises EFileError with a Hungarian message that
    /// names the file (ShownFileName) and says why, since its name was chosen outside this window.
    void OpenFile(const QString& name);
    /// The box's text for a file handed over while a transfer or an edit runs.
    static QString BusyText(const QString& name);
    /// False while a transfer runs: a file loaded then would change the data being written.
    bool CanOpenFile() const;
    void btCloseClick();
    /// A stored set (a site's) becomes the image and is written to the module, as "Adatok
    /// áttöltése a modulba" writes it.
    void WriteSet(std::span<const std::uint8_t, kParameterImageSize> set);
    /// Compares the module with a stored set instead of what it was last given; returns the
    /// outcome and the differing settings as the window says them, and the result in result.
    QString CompareWithSet(std::span<const std::uint8_t, kParameterImageSize> set, TransferResult* result = nullptr);

    void DisableButtons();
    void EnableButtons();
    void SetBarColour(BarColour colour);

    /// Blocks done as last set; the bar itself shows at most kProgressMaximum.
    int BarPosition() const { return barPosition_; }
    BarColour Colour() const { return barColour_; }
    TransferEngine& Engine() { return engine_; }
    QtFlagWaiter& Waiter() { return *waiter_; }
    const QString& LastOpenName() const { return lastOpenName_; }
    const QString& LastSaveName() const { return lastSaveName_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    friend void RenderDownloadForm(const QString& path);

    /// waiter null: the window makes its own.
    TFormDownload(ModuleChannel& channel, QtFlagWaiter* waiter, ImageBytes image, Hooks hooks, QWidget* parent);
    void BuildControls();
    void SetBarPosition(int position);
    /// Puts the outcome, which the bar shows by colour, into the bar's accessible description.
    void SayOutcome(TransferKind kind, const TransferResult& result);
    /// Says a read's or write's outcome, then runs the transferDone hook.
    void Finished(TransferKind kind, const TransferResult& result);
    QString ChooseFile(FileDialogKind kind);
    /// The bar empty and green, and the last transfer's words gone, before a file is opened.
    void StartFileOpen();
    /// Loads name into the image (the bar full once it has, and said so) and tells what a text
    /// left out.
    void LoadFile(const QString& name);
    /// The last compare's list no longer describes what the window shows.
    void ClearDifferences();
    void ShowMessage(const QString& text);
    QString RunFileDialog(FileDialogKind kind, const QString& lastName);

    void NotConnected() override;
    void TransferStarted() override;
    void TransferFinished() noexcept override;
    void BarPositionChanged(int position) override;
    void BarColourChanged(BarColour colour) override;
    void BlockCompared(int block, const std::uint8_t* moduleBlock) override;
    /// After a compare: which settings differ, as text beside the bar's colour.
    void ShowDifferences(const TransferResult& result);

    ImageBytes image_;
    Hooks hooks_;
    QtFlagWaiter* waiter_;
    TransferEngine engine_;
    int barPosition_ = 0;
    BarColour barColour_ = BarColour::Green;
    QString lastOpenName_ = QString::fromLatin1(kInitialFileName);
    QString lastSaveName_ = QString::fromLatin1(kInitialFileName);
    bool centred_ = false;
    // The button that started the running transfer, which gets the focus back at its end.
    QPointer<QPushButton> startedBy_;

    QProgressBar* Progress = nullptr;
    QPushButton* btOpen = nullptr;
    QPushButton* btSave = nullptr;
    QPushButton* btRead = nullptr;
    QPushButton* btWrite = nullptr;
    QPushButton* btCompare = nullptr;
    QPushButton* btEdit = nullptr;
    QPushButton* btStop = nullptr;
    QPushButton* btClose = nullptr;
    QLabel* lbDifferences = nullptr;
    ModuleCopyBytes compared_{};  // what the module sent in the last compare
    // Said after the compare's outcome: a few captions, then how many more; the label's
    // description holds them all for a listener who wants the rest.
    static constexpr qsizetype kSpokenDifferences = 3;
    QString spokenDifferences_;
};

/// How a message names a file: absolute, with "." and ".." resolved in its folder (the file's
/// own name is kept even when it is a link), in the system's separators.
QString ShownFileName(const QString& name);

/// Qt's filter form of "description|pattern|..." pairs ("Velmora 3 GPRS Data (*.VR3)").
QString QtFileFilter(const QString& pairs);

/// Renders the window to two PNGs for the documentation: path with the bar green at 7 blocks,
/// and path with "-red" before the extension, red at 4 as a write that failed at block 4 leaves it.
void RenderDownloadForm(const QString& path);

}  // namespace orbiqa
