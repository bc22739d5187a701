#include "params/SettingsForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "base/SettingsLocation.h"
#include "params/ApnPresets.h"
#include "params/EntryRules.h"
#include "params/GridEntry.h"
#include "params/FieldCatalog.h"
#include "params/ImageFields.h"
#include "widgets/Accessibility.h"
#include "widgets/CommandButton.h"
#include "widgets/DigitGrid.h"
#include "widgets/IPAddressControl.h"
#include "widgets/QtText.h"
#include "widgets/RadioGroup.h"
#include "widgets/UpDownEdit.h"

namespace orbiqa {

namespace {

// A digit grid as the entry rules see it; cells set here pass the grid's own cell check.
class GridRow : public CellRow {
public:
    explicit GridRow(TDigitGrid& grid) : grid_(grid) {}
    std::size_t ColCount() const override { return static_cast<std::size_t>(grid_.ColCount()); }
    std::size_t Col() const override { return static_cast<std::size_t>(grid_.Col()); }
    void SetCol(std::size_t col) override { grid_.SetCol(static_cast<int>(col)); }
    void SetCell(std::size_t col, const std::string& value) override {
        grid_.SetCell(static_cast<int>(col), value);
    }

private:
    TDigitGrid& grid_;
};

// Text for an edit from image or file bytes. A byte that Windows-1250 leaves undefined, or that
// no text field may hold (a control character), shows as "?": the edit then holds only text that
// can be stored again, so neither the store nor the validator (which judges the whole text) can
// trip over it and lose the rest of the field.
QString EditText(std::string bytes) {
    std::replace_if(bytes.begin(), bytes.end(), [](char c) { return !IsTextByte(c); }, '?');
    return FromWin1250(bytes).replace(QChar::ReplacementCharacter, QLatin1Char('?'));
}

// The bytes of an edit's text; the validators and EditText keep it within Windows-1250.
std::string EditBytes(const QLineEdit* edit) { return ToWin1250(edit->text()).value_or(""); }

void SetInputColours(QLineEdit* edit, bool preset) {
    if (!preset) {
        edit->setPalette(QPalette());
        return;
    }
    // A preset's values are shown greyed on the menu background, enabled or not.
    QPalette inactive = edit->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        inactive.setColor(group, QPalette::Base, inactive.color(QPalette::Window));
        inactive.setColor(group, QPalette::Text, Qt::gray);
    }
    edit->setPalette(inactive);
}

// Narrower tab padding than the platform's, so that every page's caption stays visible.
class TCompactTabStyle : public QProxyStyle {
public:
    explicit TCompactTabStyle(QObject* owner) : QProxyStyle() { setParent(owner); }
    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override {
        if (metric == PM_TabBarTabHSpace) return 10;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

}  // namespace

TSettingsForm::TSettingsForm(ParameterImage& image, QWidget* parent)
    : QDialog(parent), image_(image) {
    setObjectName(QStringLiteral("SettingsForm"));
    setWindowTitle(tr("Orbiqa  -  Beállítások"));
    setModal(true);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(ClientWidth, ClientHeight);
    // The pages are laid out for a fixed dialog: a small, fixed text size keeps them fitting.
    QFont small = font();
    small.setPointSize(8);
    setFont(small);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(4, 4, 4, 8);
    column->setSpacing(8);
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setAccessibleName(tr("Beállítási lapok"));
    HidePageStack(PageControl1);
    // Six captions must fit the fixed width side by side, as they always have.
    PageControl1->tabBar()->setStyle(new TCompactTabStyle(PageControl1->tabBar()));
    PageControl1->setUsesScrollButtons(false);
    column->addWidget(PageControl1, 1);
    BuildPhonePage();
    BuildSmsPage();
    BuildCallFilterPage();
    BuildBell103Page();
    BuildGprsPage();
    BuildNovikPage();

    const CommandButtonLook look{.bold = true, .enter = ButtonEnter::Never};
    btSettingOK =
        MakeCommandButton(this, QStringLiteral("btSettingOK"), tr("Beállítások Rögzítése"), look);
    btSettingCancel = MakeCommandButton(this, QStringLiteral("btSettingCancel"),
                                        tr("Beállítások Visszavonása"), look);
    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(8, 0, 8, 0);
    for (QPushButton* button : {btSettingOK, btSettingCancel}) button->setMinimumWidth(180);
    buttons->addWidget(btSettingOK);
    buttons->addStretch(1);
    buttons->addWidget(btSettingCancel);
    column->addLayout(buttons);
    connect(btSettingOK, &QPushButton::clicked, this, [this] { btSettingOKClick(); });
    connect(btSettingCancel, &QPushButton::clicked, this, [this] { btSettingCancelClick(); });
    // As in the main and transfer windows, Enter presses the focused button (the pages' buttons
    // included), as Windows buttons take it.
    PressButtonsOnEnter(this);

    FormCreate();
}

TSettingsForm::~TSettingsForm() = default;

void TSettingsForm::FormCreate() {
    apnPresets_ = LoadApnPresetFile(SettingsFilePath(ApnPresetFileName)).value_or(BuiltInApnPresets());
    FillPresetList();
    customAPN_.clear();
    customUserName_.clear();
    customPWD_.clear();
    {
        const QSignalBlocker quiet(cbServiceProvider);
        cbServiceProvider->setCurrentIndex(static_cast<int>(CustomApnPreset));
    }
    cbServiceProviderChange();
    PageControl1->setCurrentWidget(TabSheetSMS);
    PageControl1->setCurrentWidget(TabSheetPhone);
}

void TSettingsForm::FillPresetList() {
    const QSignalBlocker quiet(cbServiceProvider);
    cbServiceProvider->clear();
    for (const auto& line : apnPresets_) cbServiceProvider->addItem(FromWin1250(ApnPresetName(line)));
}

void TSettingsForm::DetachVariantPages() {
    for (QWidget* page : {TabSheetNOVIK, TabSheetGPRS}) {
        const int index = PageControl1->indexOf(page);
        if (index >= 0) PageControl1->removeTab(index);
    }
}

void TSettingsForm::Bind(const std::string& field, FieldBinding binding) {
    Q_ASSERT(FindField(field) && !bindings_.contains(field));
    bindings_[field] = std::move(binding);
}

namespace {

// A control's binding to a field: the catalog's load and store of the field's value, and how the
// control shows the value and gives it back.
template <class Load, class Store, class Show, class Read>
auto Through(Load load, Store store, Show show, Read read) {
    return std::pair{[=](const ParameterImage& im, const FieldInfo& f) { show(load(im, f)); },
                     [=](ParameterImage& im, const FieldInfo& f) { store(im, f, read()); }};
}

}  // namespace

void TSettingsForm::Bind(const std::string& field, TDigitGrid* grid) {
    auto [load, store] = Through(LoadFieldCells, StoreFieldCells,
                                 [grid](const GridCells& cells) { grid->SetCells(cells); },
                                 [grid] { return grid->Cells(); });
    Bind(field, {load, store});
}

void TSettingsForm::Bind(const std::string& field, QLineEdit* edit) {
    auto [load, store] = Through(LoadFieldText, StoreFieldText,
                                 [edit](const std::string& text) { edit->setText(EditText(text)); },
                                 [edit] { return EditBytes(edit); });
    Bind(field, {load, store});
}

// The up-down clamps what it cannot show (an erased module gives 255 minutes) to its range.
void TSettingsForm::Bind(const std::string& field, TUpDownEdit* upDown) {
    auto [load, store] = Through(LoadFieldNumber, StoreFieldNumber,
                                 [upDown](long n) { upDown->SetPosition(static_cast<int>(n)); },
                                 [upDown] { return static_cast<long>(upDown->Position()); });
    Bind(field, {load, store});
}

void TSettingsForm::Bind(const std::string& field, QCheckBox* box) {
    auto [load, store] = Through(LoadFieldFlag, StoreFieldFlag,
                                 [box](bool on) { box->setChecked(on); },
                                 [box] { return box->isChecked(); });
    Bind(field, {load, store});
}

// A flag shown as two choices: the second is on.
void TSettingsForm::Bind(const std::string& field, TRadioGroup* group) {
    auto [load, store] = Through(LoadFieldFlag, StoreFieldFlag,
                                 [group](bool on) { group->SetItemIndex(on ? 1 : 0); },
                                 [group] { return group->ItemIndex() == 1; });
    Bind(field, {load, store});
}

// Octets are 0..255 and the address fields' ranges are never narrowed, so no range error.
void TSettingsForm::Bind(const std::string& field, TIPAddressControl* address, TUpDownEdit* port) {
    const auto show = [address, port](const Receiver& receiver) {
        for (int k = 0; k < IPAddressFieldCount; ++k)
            address->SetField(k, receiver.address[static_cast<std::size_t>(k)]);
        port->SetPosition(receiver.port);
    };
    const auto read = [address, port] {
        Receiver receiver;
        for (int k = 0; k < IPAddressFieldCount; ++k)
            receiver.address[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(address->Field(k));
        receiver.port = static_cast<std::uint16_t>(port->Position());
        return receiver;
    };
    auto [load, store] = Through(LoadFieldReceiver, StoreFieldReceiver, show, read);
    Bind(field, {load, store});
}

void TSettingsForm::LoadImageToControls() {
    for (const FieldInfo& field : AllFields()) bindings_.at(field.name).load(image_, field);
}

void TSettingsForm::StoreControlsToImage() {
    for (const FieldInfo& field : AllFields()) bindings_.at(field.name).store(image_, field);
}

void TSettingsForm::btSettingOKClick() {
    StoreControlsToImage();
    accept();
}

void TSettingsForm::btSettingCancelClick() { reject(); }

void TSettingsForm::acgUSER1KeyPress(TDigitGrid& sender, char& key) {
    GridRow row(sender);
    DigitGridKeyPress(row, key);
    key = 0;
    sender.update();
}

void TSettingsForm::acgUSER1CellValidate(TDigitGrid&, int, int, std::string& value) {
    value = DigitCellValidate(value);
}

void TSettingsForm::acgEvent1KeyPress(TDigitGrid& sender, char& key) {
    GridRow row(sender);
    EventGridKeyPress(row, key);
    key = 0;
    sender.update();
}

void TSettingsForm::acgEvent1CellValidate(TDigitGrid&, int, int, std::string& value) {
    value = EventCellValidate(value);
}

void TSettingsForm::rgCallFilterClick() {
    const bool enabled = rgCallFilter->ItemIndex() != 0;
    for (std::size_t k = 0; k < acgPhnrEnabled.size(); ++k) {
        acgPhnrEnabled[k]->setEnabled(enabled);
        lbPhnrEnabled[k]->setEnabled(enabled);
    }
}

void TSettingsForm::cbServiceProviderChange() {
    const int index = cbServiceProvider->currentIndex();
    const bool custom = index == static_cast<int>(CustomApnPreset);
    ApnSettings values;
    if (!custom && index >= 0 && static_cast<std::size_t>(index) < apnPresets_.size())
        values = ParseApnPreset(apnPresets_[static_cast<std::size_t>(index)]);
    for (QLineEdit* edit : {edAPN, edUserName, edPWD}) {
        edit->setEnabled(custom);
        SetInputColours(edit, !custom);
    }
    if (custom) {
        edAPN->setText(customAPN_);
        edUserName->setText(customUserName_);
        edPWD->setText(customPWD_);
    } else {
        edAPN->setText(EditText(values.APN));
        edUserName->setText(EditText(values.UserName));
        edPWD->setText(EditText(values.PWD));
    }
}

void TSettingsForm::cbGPRSmodeClick() {
    const bool enabled = cbGPRSmode->isChecked();
    cbServiceProvider->setEnabled(enabled);
    for (QLineEdit* edit : {edAPN, edUserName, edPWD}) edit->setEnabled(enabled);
    for (QLabel* label : lbGPRS) label->setEnabled(enabled);
}

void TSettingsForm::edAPNExit() { customAPN_ = edAPN->text(); }
void TSettingsForm::edUserNameExit() { customUserName_ = edUserName->text(); }
void TSettingsForm::edPWDExit() { customPWD_ = edPWD->text(); }

void TSettingsForm::btSaveSettingsClick() { SaveApnPresetFile(SettingsFilePath(ApnPresetFileName), apnPresets_); }

bool TSettingsForm::eventFilter(QObject* watched, QEvent* event) {
    const bool gprsEdit = watched == edAPN || watched == edUserName || watched == edPWD;
    if (!gprsEdit) return QDialog::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->text() == QStringLiteral(" "))
        return true;  // edAPNKeyPress: none of the three fields can hold a space
    // Another window or a context menu taking the focus does not leave the edit: the focus comes
    // back to it, and the remembered value is taken only when the user really moves on.
    const auto leaves = [](const QFocusEvent* focus) {
        return focus->reason() != Qt::ActiveWindowFocusReason &&
               focus->reason() != Qt::PopupFocusReason;
    };
    if (event->type() == QEvent::FocusOut && leaves(static_cast<QFocusEvent*>(event))) {
        if (watched == edAPN) edAPNExit();
        if (watched == edUserName) edUserNameExit();
        if (watched == edPWD) edPWDExit();
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace orbiqa
