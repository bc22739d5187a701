// The six pages of the parameter editor: controls, captions and layout. Behaviour lives in
// SettingsForm.cpp and the entry rules in core.
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "params/EntryRules.h"
#include "params/FieldCatalog.h"
#include "params/SettingsForm.h"
#include "widgets/CommandButton.h"
#include "widgets/DigitGrid.h"
#include "widgets/IPAddressControl.h"
#include "widgets/RadioGroup.h"
#include "widgets/TextValidators.h"
#include "widgets/UpDownEdit.h"

namespace orbiqa {

namespace {

constexpr int PageMargin = 10;
constexpr int ApnTypedLength = 40;  // more than is stored, so a pasted APN is not cut short early

// A label that names `buddy`: it gives the control its accessible name and its mnemonic target.
QLabel* NamingLabel(const QString& text, QWidget* buddy, QWidget* parent,
                    const QString& accessibleName = {}) {
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    if (buddy) buddy->setAccessibleName(accessibleName.isEmpty() ? text.trimmed() : accessibleName);
    return label;
}

QLabel* Note(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}

// The captions and sizes live with the fields, where the lists that name a field for a person
// and the command line read them.
QString Caption(const std::string& field) {
    return QString::fromStdString(FieldCaption(field));
}

int Capacity(const std::string& field) { return static_cast<int>(FindField(field)->capacity); }

int Maximum(const std::string& field) { return static_cast<int>(FindField(field)->maximum); }

QWidget* NewPage(QTabWidget* pages, const char* name, EditorPage which) {
    const QString caption = QString::fromStdString(PageCaption(which));
    auto* page = new QWidget(pages);
    page->setObjectName(QLatin1String(name));
    page->setAccessibleName(caption);
    pages->addTab(page, caption);
    return page;
}

TUpDownEdit* UpDown(int maximum, const QString& name, const QString& editName, QWidget* parent) {
    auto* upDown = new TUpDownEdit(0, maximum, parent);
    upDown->setObjectName(name);
    upDown->SetEditName(editName);
    return upDown;
}

}  // namespace

TDigitGrid* TSettingsForm::NumberGrid(const std::string& field) {
    auto* grid = new TDigitGrid(Capacity(field), this);
    grid->setObjectName(QStringLiteral("acg") + QString::fromStdString(field));
    Bind(field, grid);
    grid->OnKeyPress = [this](TDigitGrid& sender, char& key) { acgUSER1KeyPress(sender, key); };
    grid->OnCellValidate = [this](TDigitGrid& sender, int col, int row, std::string& value) {
        acgUSER1CellValidate(sender, col, row, value);
    };
    return grid;
}

TDigitGrid* TSettingsForm::EventGrid(const std::string& field) {
    auto* grid = new TDigitGrid(Capacity(field), this);
    grid->setObjectName(QStringLiteral("acg") + QString::fromStdString(field));
    Bind(field, grid);
    QPalette pale = grid->palette();
    pale.setColor(QPalette::Base, pale.color(QPalette::ToolTipBase));
    pale.setColor(QPalette::Text, pale.color(QPalette::ToolTipText));
    grid->setPalette(pale);
    grid->OnKeyPress = [this](TDigitGrid& sender, char& key) { acgEvent1KeyPress(sender, key); };
    grid->OnCellValidate = [this](TDigitGrid& sender, int col, int row, std::string& value) {
        acgEvent1CellValidate(sender, col, row, value);
    };
    return grid;
}

void TSettingsForm::BuildPhonePage() {
    TabSheetPhone = NewPage(PageControl1, "TabSheetPhone", EditorPage::Phone);
    auto* rows = new QGridLayout(TabSheetPhone);
    rows->setContentsMargins(PageMargin, PageMargin, PageMargin, PageMargin);
    rows->setHorizontalSpacing(12);
    rows->setVerticalSpacing(8);
    rows->setColumnStretch(0, 1);

    acgUSER1 = NumberGrid("USER1");
    acgUSER2 = NumberGrid("USER2");
    acgSMSFW1 = NumberGrid("SMSFW1");
    acgSMSFW2 = NumberGrid("SMSFW2");
    acgAUTODIAL = NumberGrid("AUTODIAL");
    acgNETPREFIX = NumberGrid("NETPREFIX");
    acgADDFIX = NumberGrid("ADDFIX");

    const struct {
        const char* name;
        QString text;
        TDigitGrid* grid;
    } numbers[] = {
        {"lbUSER1", Caption("USER1"), acgUSER1},
        {"lbUSER2", Caption("USER2"), acgUSER2},
        {"lbSMSFW1", Caption("SMSFW1"), acgSMSFW1},
        {"lbSMSFW2", Caption("SMSFW2"), acgSMSFW2},
        {"lbAUTODIAL", Caption("AUTODIAL"), acgAUTODIAL},
        {"lbNETPREFIX", Caption("NETPREFIX"), acgNETPREFIX},
    };
    int row = 0;
    for (const auto& n : numbers) {
        QLabel* label = NamingLabel(n.text, n.grid, TabSheetPhone);
        label->setObjectName(QLatin1String(n.name));
        label->setWordWrap(true);
        rows->addWidget(label, row, 0);
        rows->addWidget(n.grid, row++, 1, Qt::AlignLeft | Qt::AlignVCenter);
    }
    auto* addfixText = new QVBoxLayout;
    addfixText->setSpacing(0);
    // The long caption keeps its code on a line of its own.
    const QString addfixCaption = Caption("ADDFIX");
    const qsizetype codeStart = addfixCaption.lastIndexOf(QStringLiteral(" (#"));
    const QString addfix = addfixCaption.left(codeStart);
    QLabel* lbADDFIX = NamingLabel(addfix, acgADDFIX, TabSheetPhone, addfixCaption);
    // The label names the grid with both of its lines, as the grid's own name does: a screen
    // reader that says the label and the name says them once, as they are equal.
    lbADDFIX->setAccessibleName(acgADDFIX->accessibleName());
    lbADDFIX->setObjectName(QStringLiteral("lbADDFIX"));
    lbADDFIX->setWordWrap(true);
    auto* lbADDFIX2 = new QLabel(addfixCaption.mid(codeStart + 1), TabSheetPhone);
    lbADDFIX2->setObjectName(QStringLiteral("lbADDFIX2"));
    addfixText->addWidget(lbADDFIX);
    addfixText->addWidget(lbADDFIX2);
    rows->addLayout(addfixText, row, 0);
    rows->addWidget(acgADDFIX, row++, 1, Qt::AlignLeft | Qt::AlignVCenter);

    cbVoiceCaller = new QCheckBox(Caption("VoiceCaller"), TabSheetPhone);
    cbVoiceCaller->setObjectName(QStringLiteral("cbVoiceCaller"));
    cbVoiceCaller->setAccessibleName(cbVoiceCaller->text());
    Bind("VoiceCaller", cbVoiceCaller);
    rows->setRowMinimumHeight(row++, 6);
    rows->addWidget(cbVoiceCaller, row++, 0, 1, 2);
    rows->setRowStretch(row, 1);
}

void TSettingsForm::BuildSmsPage() {
    TabSheetSMS = NewPage(PageControl1, "TabSheetSMS", EditorPage::Sms);
    auto* rows = new QGridLayout(TabSheetSMS);
    rows->setContentsMargins(PageMargin, PageMargin, PageMargin, PageMargin);
    rows->setHorizontalSpacing(12);
    rows->setVerticalSpacing(4);
    rows->setColumnStretch(1, 1);
    auto* codeHeading = new QLabel(QString::fromStdString(EventCodeHeading()), TabSheetSMS);
    codeHeading->setObjectName(QStringLiteral("lbEventHeading"));
    auto* textHeading = new QLabel(tr("SMS üzenetek szövege *"), TabSheetSMS);
    textHeading->setObjectName(QStringLiteral("lbSmsHeading"));
    rows->addWidget(codeHeading, 0, 0);
    rows->addWidget(textHeading, 0, 1);
    for (std::size_t k = 0; k < acgEvent.size(); ++k) {
        const int n = static_cast<int>(k) + 1;
        const std::string event = "Event" + std::to_string(n);
        const std::string sms = "SMS" + std::to_string(n);
        acgEvent[k] = EventGrid(event);
        acgEvent[k]->setAccessibleName(Caption(event));
        auto* edit = new QLineEdit(TabSheetSMS);
        edit->setObjectName(QStringLiteral("ed") + QString::fromStdString(sms));
        edit->setAccessibleName(Caption(sms));
        edit->setMaxLength(Capacity(sms));
        edit->setValidator(new TWin1250Validator(false, IsTextByte, edit));
        edSMS[k] = edit;
        Bind(sms, edit);
        rows->addWidget(acgEvent[k], n, 0, Qt::AlignLeft | Qt::AlignVCenter);
        rows->addWidget(edit, n, 1);
    }
    const int last = static_cast<int>(acgEvent.size()) + 1;
    rows->setRowStretch(last, 1);
    QLabel* note = Note(tr("* : Az SMS szövegébe írt $ karakter helyettesítve lesz : "
                           "\"eseménykód/partíció/zóna\""),
                        TabSheetSMS);
    note->setObjectName(QStringLiteral("lbSmsNote"));
    rows->addWidget(note, last + 1, 0, 1, 2);
}

void TSettingsForm::BuildCallFilterPage() {
    TabSheetCallFilter = NewPage(PageControl1, "TabSheetCallFilter", EditorPage::CallFilter);
    auto* page = new QVBoxLayout(TabSheetCallFilter);
    page->setContentsMargins(PageMargin, PageMargin, PageMargin, PageMargin);
    gbCallFilter = new QGroupBox(QStringLiteral("  %1  ").arg(Caption("CallFilter")), TabSheetCallFilter);
    gbCallFilter->setObjectName(QStringLiteral("gbCallFilter"));
    page->addWidget(gbCallFilter);
    auto* box = new QVBoxLayout(gbCallFilter);
    box->setSpacing(6);

    rgCallFilter = new TRadioGroup({tr(" - Minden bejövő hívás engedélyezése"),
                                    tr(" - Bejövő hívás fogadása csak az alábbi számokról")},
                                   gbCallFilter);
    rgCallFilter->setObjectName(QStringLiteral("rgCallFilter"));
    rgCallFilter->setAccessibleName(gbCallFilter->title().trimmed());
    rgCallFilter->OnClick = [this] { rgCallFilterClick(); };
    Bind("CallFilter", rgCallFilter);
    box->addWidget(rgCallFilter);

    auto* numbers = new QGridLayout;
    numbers->setHorizontalSpacing(12);
    numbers->setColumnStretch(0, 1);
    for (std::size_t k = 0; k < acgPhnrEnabled.size(); ++k) {
        const int n = static_cast<int>(k) + 1;
        const std::string field = "PhnrEnabled" + std::to_string(n);
        acgPhnrEnabled[k] = NumberGrid(field);
        lbPhnrEnabled[k] = NamingLabel(Caption(field), acgPhnrEnabled[k], gbCallFilter);
        lbPhnrEnabled[k]->setObjectName(QStringLiteral("lbPhnrEnabled%1").arg(n));
        numbers->addWidget(lbPhnrEnabled[k], n - 1, 0, Qt::AlignRight | Qt::AlignVCenter);
        numbers->addWidget(acgPhnrEnabled[k], n - 1, 1);
    }
    box->addLayout(numbers);
    QLabel* note = Note(tr("A telefonszámot a 06 előhívó nélkül adja meg"), gbCallFilter);
    note->setObjectName(QStringLiteral("lbPhnrNote"));
    note->setAlignment(Qt::AlignRight);
    box->addWidget(note);
    box->addSpacing(16);

    udCallMax = UpDown(Maximum("CallMax"), QStringLiteral("udCallMax"), QStringLiteral("edCallMax"),
                       gbCallFilter);
    Bind("CallMax", udCallMax);
    auto* limitText = new QVBoxLayout;
    limitText->setSpacing(0);
    QLabel* limit =
        NamingLabel(Caption("CallMax"), udCallMax, gbCallFilter);
    limit->setObjectName(QStringLiteral("lbCallMax"));
    auto* zero = new QLabel(tr("( 0 = nincs korlátozva )"), gbCallFilter);
    zero->setObjectName(QStringLiteral("lbCallMaxZero"));
    limitText->addWidget(limit);
    limitText->addWidget(zero);
    auto* limitRow = new QHBoxLayout;
    limitRow->addLayout(limitText, 1);
    udCallMax->setFixedWidth(56);
    limitRow->addWidget(udCallMax, 0, Qt::AlignVCenter);
    box->addLayout(limitRow);
    box->addStretch(1);
}

void TSettingsForm::BuildBell103Page() {
    TabSheetBELL103 = NewPage(PageControl1, "TabSheetBELL103", EditorPage::Bell103);
    auto* page = new QVBoxLayout(TabSheetBELL103);
    page->setContentsMargins(PageMargin, PageMargin, PageMargin, PageMargin);
    gbBell103 = new QGroupBox(QStringLiteral(" %1  ").arg(Caption("BELLOnlyListedNumbers")), TabSheetBELL103);
    gbBell103->setObjectName(QStringLiteral("gbBell103"));
    page->addWidget(gbBell103);
    auto* box = new QVBoxLayout(gbBell103);
    box->setSpacing(6);

    rgBELLCallFilter = new TRadioGroup(
        {tr(" - Minden bejövő adathívás fogadása \"Bell 103\" hívásként"),
         tr(" - Bejövő adathívás fogadása csak az alábbi számokról")},
        gbBell103);
    rgBELLCallFilter->setObjectName(QStringLiteral("rgBELLCallFilter"));
    rgBELLCallFilter->setAccessibleName(gbBell103->title().trimmed());
    Bind("BELLOnlyListedNumbers", rgBELLCallFilter);
    box->addWidget(rgBELLCallFilter);

    acgBELLPhnrEnabled1 = NumberGrid("BELLPhnrEnabled1");
    acgBELLPhnrEnabled2 = NumberGrid("BELLPhnrEnabled2");
    auto* numbers = new QGridLayout;
    numbers->setHorizontalSpacing(12);
    numbers->setColumnStretch(0, 1);
    int row = 0;
    for (TDigitGrid* grid : {acgBELLPhnrEnabled1, acgBELLPhnrEnabled2}) {
        QLabel* label =
            NamingLabel(Caption("BELLPhnrEnabled" + std::to_string(row + 1)), grid, gbBell103);
        label->setObjectName(QStringLiteral("lbBELLPhnrEnabled%1").arg(row + 1));
        numbers->addWidget(label, row, 0, Qt::AlignRight | Qt::AlignVCenter);
        numbers->addWidget(grid, row++, 1);
    }
    box->addLayout(numbers);
    QLabel* note = Note(tr("A telefonszámot a 06 előhívó nélkül adja meg"), gbBell103);
    note->setObjectName(QStringLiteral("lbBELLNote"));
    note->setAlignment(Qt::AlignRight);
    box->addWidget(note);
    box->addSpacing(10);

    cbBELLcallback = new QCheckBox(Caption("BELLCallback"), gbBell103);
    cbBELLcallback->setObjectName(QStringLiteral("cbBELLcallback"));
    cbBELLcallback->setAccessibleName(cbBELLcallback->text().trimmed());
    Bind("BELLCallback", cbBELLcallback);
    box->addWidget(cbBELLcallback);
    QLabel* explain =
        Note(tr("A fenti számokra történő kimenő GSM hívás esetén adathívást indít."), gbBell103);
    explain->setObjectName(QStringLiteral("lbBELLcallback"));
    explain->setContentsMargins(20, 0, 0, 0);
    box->addWidget(explain);
    box->addStretch(1);
}

void TSettingsForm::BuildGprsPage() {
    TabSheetGPRS = NewPage(PageControl1, "TabSheetGPRS", EditorPage::Gprs);
    auto* page = new QVBoxLayout(TabSheetGPRS);
    page->setContentsMargins(PageMargin, PageMargin, PageMargin, PageMargin);
    page->setSpacing(10);
    cbGPRSmode = new QCheckBox(Caption("GPRSmode"), TabSheetGPRS);
    cbGPRSmode->setObjectName(QStringLiteral("cbGPRSmode"));
    cbGPRSmode->setAccessibleName(cbGPRSmode->text());
    Bind("GPRSmode", cbGPRSmode);
    page->addWidget(cbGPRSmode);

    auto* panel = new QFrame(TabSheetGPRS);
    panel->setObjectName(QStringLiteral("pnGPRS"));
    panel->setFrameShape(QFrame::StyledPanel);
    page->addWidget(panel);
    auto* form = new QFormLayout(panel);
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    form->setVerticalSpacing(8);

    cbServiceProvider = new QComboBox(panel);
    cbServiceProvider->setObjectName(QStringLiteral("cbServiceProvider"));
    cbServiceProvider->setEditable(false);
    const struct {
        QLineEdit** edit;
        std::string field;
        int maxLength;
    } edits[] = {{&edAPN, "APN", ApnTypedLength},
                 {&edUserName, "UserName", Capacity("UserName")},
                 {&edPWD, "PWD", Capacity("PWD")}};
    for (const auto& e : edits) {
        *e.edit = new QLineEdit(panel);
        (*e.edit)->setObjectName(QStringLiteral("ed") + QString::fromStdString(e.field));
        (*e.edit)->setMaxLength(e.maxLength);
        (*e.edit)->setValidator(new TWin1250Validator(true, IsTextByte, *e.edit));
        (*e.edit)->installEventFilter(this);
        Bind(e.field, *e.edit);
    }
    // The provider list is no field of its own: it fills the three below.
    const QString names[] = {tr("Mobil szolgáltató"), Caption("APN"), Caption("UserName"),
                             Caption("PWD")};
    QWidget* fields[] = {cbServiceProvider, edAPN, edUserName, edPWD};
    const char* labelNames[] = {"lbServiceProvider", "lbAPN", "lbUserName", "lbPWD"};
    for (std::size_t k = 0; k < lbGPRS.size(); ++k) {
        // " :" is the layout's punctuation, not part of the name.
        lbGPRS[k] = NamingLabel(names[k] + QStringLiteral(" :"), fields[k], panel, names[k]);
        lbGPRS[k]->setObjectName(QLatin1String(labelNames[k]));
        form->addRow(lbGPRS[k], fields[k]);
    }
    page->addStretch(1);

    btSaveSettings =
        MakeCommandButton(TabSheetGPRS, QStringLiteral("btSaveSettings"), QStringLiteral("Save"));
    btSaveSettings->setVisible(false);
    connect(btSaveSettings, &QPushButton::clicked, this, [this] { btSaveSettingsClick(); });

    connect(cbServiceProvider, &QComboBox::currentIndexChanged, this,
            [this] { cbServiceProviderChange(); });
    connect(cbGPRSmode, &QCheckBox::toggled, this, [this] { cbGPRSmodeClick(); });
}

void TSettingsForm::BuildNovikPage() {
    TabSheetNOVIK = NewPage(PageControl1, "TabSheetNOVIK", EditorPage::Novik);
    auto* rows = new QGridLayout(TabSheetNOVIK);
    rows->setContentsMargins(PageMargin * 2, PageMargin * 2, PageMargin * 2, PageMargin);
    rows->setHorizontalSpacing(10);
    rows->setVerticalSpacing(10);
    for (std::size_t k = 0; k < IPAddressControl.size(); ++k) {
        const int n = static_cast<int>(k) + 1;
        const std::string receiver = "Receiver" + std::to_string(n);
        IPAddressControl[k] = new TIPAddressControl(TabSheetNOVIK);
        IPAddressControl[k]->setObjectName(QStringLiteral("IPAddressControl%1").arg(n));
        const QString caption = Caption(receiver);
        QLabel* address = NamingLabel(caption, IPAddressControl[k], TabSheetNOVIK);
        address->setObjectName(QStringLiteral("lbIP%1").arg(n));
        udPort[k] = UpDown(Maximum(receiver), QStringLiteral("udPort%1").arg(n),
                           QStringLiteral("edPort%1").arg(n), TabSheetNOVIK);
        Bind(receiver, IPAddressControl[k], udPort[k]);
        udPort[k]->SetThousands(false);
        udPort[k]->setFixedWidth(72);
        QLabel* port = NamingLabel(tr("port:"), udPort[k], TabSheetNOVIK,
                                   tr("%1 port").arg(caption));
        port->setObjectName(QStringLiteral("lbPort%1").arg(n));
        rows->addWidget(address, n - 1, 0);
        rows->addWidget(IPAddressControl[k], n - 1, 1);
        rows->addWidget(port, n - 1, 2, Qt::AlignRight | Qt::AlignVCenter);
        rows->addWidget(udPort[k], n - 1, 3);
    }
    rows->setRowMinimumHeight(4, 12);
    udPanelID = UpDown(Maximum("PanelID"), QStringLiteral("udPanelID"), QStringLiteral("edPanelID"),
                       TabSheetNOVIK);
    udServerID = UpDown(Maximum("ServerID"), QStringLiteral("udServerID"),
                        QStringLiteral("edCentralID"), TabSheetNOVIK);
    Bind("PanelID", udPanelID);
    Bind("ServerID", udServerID);
    int row = 5;
    for (auto [caption, upDown, name] :
         {std::tuple{Caption("PanelID"), udPanelID, "lbPanelID"},
          std::tuple{Caption("ServerID"), udServerID, "lbServerID"}}) {
        upDown->SetThousands(true);
        upDown->setFixedWidth(90);
        QLabel* label = NamingLabel(caption + QLatin1Char(':'), upDown, TabSheetNOVIK, caption);
        label->setObjectName(QLatin1String(name));
        rows->addWidget(label, row, 0, 1, 2);
        rows->addWidget(upDown, row++, 3);
    }
    rows->setColumnStretch(4, 1);
    rows->setRowStretch(row, 1);
}

}  // namespace orbiqa
