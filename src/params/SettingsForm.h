#pragma once
// The parameter editor: a modal dialog in which the user edits the ParameterImage page by page.
// It never talks to the module. LoadImageToControls fills every control from the image,
// StoreControlsToImage writes every control back; only "Beállítások Rögzítése" stores.
#include <QDialog>
#include <QString>
#include <array>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "params/FieldCatalog.h"
#include "params/ParameterImage.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace orbiqa {

class TDigitGrid;
class TIPAddressControl;
class TRadioGroup;
class TUpDownEdit;

class TSettingsForm : public QDialog {
    Q_OBJECT
public:
    static constexpr int ClientWidth = 457;
    static constexpr int ClientHeight = 427;

    /// Runs FormCreate: reads "APNs.dat" from the settings folder when it exists.
    explicit TSettingsForm(ParameterImage& image = TheParameterImage(), QWidget* parent = nullptr);
    ~TSettingsForm() override;

    void LoadImageToControls();
    void StoreControlsToImage();

    /// Takes the "NOVIK" and "GPRS" pages out of the page control. Their controls stay alive and
    /// are still loaded and stored, so those image fields pass through the editor. Idempotent.
    void DetachVariantPages();

    // Controls, named as the rest of the program and the tests know them.
    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheetPhone = nullptr;
    QWidget* TabSheetSMS = nullptr;
    QWidget* TabSheetCallFilter = nullptr;
    QWidget* TabSheetBELL103 = nullptr;
    QWidget* TabSheetGPRS = nullptr;
    QWidget* TabSheetNOVIK = nullptr;
    QPushButton* btSettingOK = nullptr;
    QPushButton* btSettingCancel = nullptr;

    TDigitGrid* acgUSER1 = nullptr;
    TDigitGrid* acgUSER2 = nullptr;
    TDigitGrid* acgSMSFW1 = nullptr;
    TDigitGrid* acgSMSFW2 = nullptr;
    TDigitGrid* acgAUTODIAL = nullptr;
    TDigitGrid* acgNETPREFIX = nullptr;
    TDigitGrid* acgADDFIX = nullptr;
    QCheckBox* cbVoiceCaller = nullptr;

    std::array<TDigitGrid*, 10> acgEvent{};  // acgEvent1 .. acgEvent10
    std::array<QLineEdit*, 10> edSMS{};      // edSMS1 .. edSMS10

    QGroupBox* gbCallFilter = nullptr;
    TRadioGroup* rgCallFilter = nullptr;
    std::array<QLabel*, 4> lbPhnrEnabled{};
    std::array<TDigitGrid*, 4> acgPhnrEnabled{};
    TUpDownEdit* udCallMax = nullptr;

    QGroupBox* gbBell103 = nullptr;
    TRadioGroup* rgBELLCallFilter = nullptr;
    TDigitGrid* acgBELLPhnrEnabled1 = nullptr;
    TDigitGrid* acgBELLPhnrEnabled2 = nullptr;
    QCheckBox* cbBELLcallback = nullptr;

    QCheckBox* cbGPRSmode = nullptr;
    QComboBox* cbServiceProvider = nullptr;
    QLineEdit* edAPN = nullptr;
    QLineEdit* edUserName = nullptr;
    QLineEdit* edPWD = nullptr;
    std::array<QLabel*, 4> lbGPRS{};  // the labels of the preset list and the three edits
    QPushButton* btSaveSettings = nullptr;

    std::array<TIPAddressControl*, 4> IPAddressControl{};  // IPAddressControl1 .. 4
    std::array<TUpDownEdit*, 4> udPort{};                  // udPort1 .. udPort4
    TUpDownEdit* udPanelID = nullptr;
    TUpDownEdit* udServerID = nullptr;

    /// The preset lines in list order (Windows-1250).
    const std::vector<std::string>& ApnPresets() const { return apnPresets_; }

    // Handlers.
    void FormCreate();
    void btSettingOKClick();
    void btSettingCancelClick();
    void acgUSER1KeyPress(TDigitGrid& sender, char& key);
    void acgUSER1CellValidate(TDigitGrid& sender, int col, int row, std::string& value);
    void acgEvent1KeyPress(TDigitGrid& sender, char& key);
    void acgEvent1CellValidate(TDigitGrid& sender, int col, int row, std::string& value);
    void rgCallFilterClick();
    void cbServiceProviderChange();
    void cbGPRSmodeClick();
    void edAPNExit();
    void edUserNameExit();
    void edPWDExit();
    void btSaveSettingsClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildPhonePage();
    void BuildSmsPage();
    void BuildCallFilterPage();
    void BuildBell103Page();
    void BuildGprsPage();
    void BuildNovikPage();
    // A digit grid for the field, as many cells wide as the catalog says, named "acg" and the
    // field's name, and bound to the field.
    TDigitGrid* NumberGrid(const std::string& field);
    TDigitGrid* EventGrid(const std::string& field);
    void FillPresetList();

    // Each field of the catalog has one control that shows it; load and store go through the
    // catalog field by field, so the editor holds no offset or capacity of its own.
    struct FieldBinding {
        std::function<void(const ParameterImage&, const FieldInfo&)> load;
        std::function<void(ParameterImage&, const FieldInfo&)> store;
    };
    void Bind(const std::string& field, FieldBinding binding);
    void Bind(const std::string& field, TDigitGrid* grid);
    void Bind(const std::string& field, QLineEdit* edit);
    void Bind(const std::string& field, TUpDownEdit* upDown);
    void Bind(const std::string& field, QCheckBox* box);
    void Bind(const std::string& field, TRadioGroup* group);
    void Bind(const std::string& field, TIPAddressControl* address, TUpDownEdit* port);

    ParameterImage& image_;
    std::map<std::string, FieldBinding> bindings_;
    std::vector<std::string> apnPresets_;
    QString customAPN_;
    QString customUserName_;
    QString customPWD_;
};

/// Renders every page of the editor, GPRS and NOVIK included, as "settings-<n>-<page>.png" into
/// `dir`, filled from a sample image. Returns the files written. Needs a QApplication.
QStringList RenderSettingsPages(const QString& dir);

}  // namespace orbiqa
