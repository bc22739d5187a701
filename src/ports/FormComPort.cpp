#include "ports/FormComPort.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QTimer>
#include <QWindow>

#include <algorithm>

#include "base/ComPortRange.h"
#include "base/IntText.h"
#include "serial/PortName.h"
#include "ports/PortWatch.h"
#include "widgets/Accessibility.h"
#include "widgets/Announcer.h"
#include "widgets/CommandButton.h"
#include "widgets/InputBox.h"
#include "widgets/MessageBoxes.h"
#include "widgets/QtText.h"
#include "widgets/WindowFont.h"

namespace orbiqa {
namespace {

const QColor kPresentText(0, 0, 0);
const QColor kPresentSelectedText(255, 255, 255);
const QColor kAbsentText(128, 32, 32);
const QColor kAbsentSelectedText(255, 192, 96);
const QColor kSelectedBackground(0, 0, 128);

constexpr int kTextIndent = 5;
constexpr int kColumnWidth = 364;
constexpr int kPanelWidth = 241;
constexpr int kFontPointSize = 8;

// The input box hands back code-page text, in which a character the code page lacks has become
// "?". Only the leading number counts, and it is plain ASCII, so "12" followed by any character
// still reads as 12.
std::string InputBoxText(const QString& answer) {
    std::string text;
    text.reserve(static_cast<std::size_t>(answer.size()));
    for (const QChar c : answer) text += c.unicode() < 0x80 ? static_cast<char>(c.unicode()) : '?';
    return text;
}

// How a row's presence is told to assistive technology, both in its description and when it
// changes under the focus: the same words, so that what is announced matches what is read.
QString PresenceText(const std::string& record) {
    return QString::fromUtf8(PresenceOf(record) == RecordPresence::Present ? "elérhető"
                                                                           : "nem elérhető");
}

// Posted to the window when it becomes the program's active window, so that FormActivate runs
// from the event loop, where a scan error reaches the application's error box.
const QEvent::Type kActivateEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

// The grid draws nothing itself: every cell goes through the window's StringGrid1DrawCell.
class CellPainter : public QStyledItemDelegate {
public:
    CellPainter(TFormComPort* form, QObject* parent) : QStyledItemDelegate(parent), form_(form) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        painter->save();
        form_->StringGrid1DrawCell(*painter, index.column(), index.row(), option.rect,
                                   option.state.testFlag(QStyle::State_Selected));
        painter->restore();
    }

private:
    TFormComPort* form_;
};

}  // namespace

TFormComPort::TFormComPort(SorosKeres& keres, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      keres_(keres) {
    setObjectName("FormComPort");
    setWindowTitle("Soros portok");
    setAccessibleName(windowTitle());
    setFixedSize(kClientWidth, kClientHeight);
    setFont(WindowFont(kFontPointSize));

    Label1 = new QLabel(this);
    Label1->setObjectName("Label1");
    QFont labelFont = font();
    labelFont.setPointSize(12);
    Label1->setFont(labelFont);
    Label1->setGeometry(4, 4, 365, 22);

    StringGrid1 = new QTableWidget(this);
    StringGrid1->setObjectName("StringGrid1");
    StringGrid1->setGeometry(2, 30, 369, 171);
    StringGrid1->setColumnCount(1);
    StringGrid1->setColumnWidth(0, kColumnWidth);
    StringGrid1->horizontalHeader()->hide();
    StringGrid1->verticalHeader()->hide();
    StringGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    StringGrid1->verticalHeader()->setDefaultSectionSize(kRowHeight);
    StringGrid1->setShowGrid(true);
    StringGrid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    StringGrid1->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    StringGrid1->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    StringGrid1->setSelectionBehavior(QAbstractItemView::SelectItems);
    StringGrid1->setItemDelegate(new CellPainter(this, StringGrid1));
    StringGrid1->setContextMenuPolicy(Qt::CustomContextMenu);
    Label1->setBuddy(StringGrid1);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName("PopupMenu1");
    PopupMenu1->setAccessibleName(QString::fromUtf8("Port menü"));
    jporthozzadsa1 = PopupMenu1->addAction(QString::fromUtf8("Port hozzáadása"));
    jporthozzadsa1->setObjectName("jporthozzadsa1");
    jhalozatiport1 = PopupMenu1->addAction(QString::fromUtf8("Hálózati port hozzáadása"));
    jhalozatiport1->setObjectName("jhalozatiport1");
    jhalozatiporttorles1 = PopupMenu1->addAction(QString::fromUtf8("Hálózati port eltávolítása"));
    jhalozatiporttorles1->setObjectName("jhalozatiporttorles1");
    // Shown beside the item; the grid's own shortcut below does the work.
    jhalozatiporttorles1->setShortcut(QKeySequence::Delete);
    jhalozatiporttorles1->setShortcutContext(Qt::WidgetShortcut);

    QFont panelFont = font();
    panelFont.setBold(true);
    QPalette panelPalette = palette();
    panelPalette.setColor(QPalette::WindowText, Qt::black);
    Panel1 = new QLabel(this);
    Panel2 = new QLabel(this);
    Panel1->setObjectName("Panel1");
    Panel2->setObjectName("Panel2");
    Panel1->setGeometry(4, 205, kPanelWidth, 24);
    Panel2->setGeometry(4, 230, kPanelWidth, 24);
    for (QLabel* panel : {Panel1, Panel2}) {
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setFont(panelFont);
        panel->setPalette(panelPalette);
        panel->setAlignment(Qt::AlignCenter);
    }
    ExposeShownText(Panel1, QString::fromUtf8("Kiválasztott port"));
    ExposeShownText(Panel2, QString::fromUtf8("A kiválasztott port leírása"));

    Button1 = MakeCommandButton(this, "Button1", "OK",
                                {.geometry = {264, 214, 97, 31}, .enter = ButtonEnter::Default});

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(kRefreshMs);

    SetLabelText(QString::fromUtf8("Válassza ki a használni kívánt soros portot!"));

    // A row counts as chosen when it is selected (click, keys); the grid alone also moves its
    // current cell on getting the focus, which must not choose a port.
    connect(StringGrid1->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected) {
                if (!settingSelection_ && !selected.indexes().isEmpty()) {
                    const QModelIndex cell = selected.indexes().first();
                    StringGrid1SelectCell(cell.column(), cell.row());
                }
            });
    connect(StringGrid1, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        jhalozatiporttorles1->setEnabled(list_.IsNetworkRow(StringGrid1->currentRow()));
        PopupMenu1->popup(StringGrid1->viewport()->mapToGlobal(pos));
        // Its item is active at once, so that a screen reader says it and Enter takes it.
        PopupMenu1->setActiveAction(jporthozzadsa1);
    });
    // Shift+F10 opens the menu as the Menu key does, at the current row.
    auto* menuKey = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), StringGrid1, nullptr,
                                  nullptr, Qt::WidgetShortcut);
    connect(menuKey, &QShortcut::activated, this, [this] {
        const QRect cell = StringGrid1->visualRect(StringGrid1->currentIndex());
        emit StringGrid1->customContextMenuRequested(cell.isValid() ? cell.center() : QPoint());
    });
    connect(jporthozzadsa1, &QAction::triggered, this, [this] { jporthozzadsa1Click(); });
    connect(jhalozatiport1, &QAction::triggered, this, [this] { jhalozatiport1Click(); });
    connect(jhalozatiporttorles1, &QAction::triggered, this, [this] { jhalozatiporttorles1Click(); });
    auto* deleteKey = new QShortcut(QKeySequence::Delete, StringGrid1, nullptr, nullptr, Qt::WidgetShortcut);
    connect(deleteKey, &QShortcut::activated, this, [this] { jhalozatiporttorles1Click(); });
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Timer1, &QTimer::timeout, this, [this] { RefreshTick(); });
    connect(qApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow* w) { FocusWindowChanged(w); });
    lastFocusWindow_ = QGuiApplication::focusWindow();

    FormCreate();
}

void TFormComPort::FormCreate() {
    // Qt paints every widget double-buffered, which the grid's repaint every second needs.
    list_.Clear();
    StringgridInit();
    Timer1->start();
}

void TFormComPort::SetLabelText(const QString& text) {
    Label1->setText(text);
    Label1->setAccessibleName(text);
    StringGrid1->setAccessibleName(text);
}

void TFormComPort::FocusWindowChanged(QWindow* window) {
    // Focus leaving the program entirely is not a change of its active window.
    if (!window) return;
    QWindow* mine = windowHandle();
    const bool activated = mine && window == mine && lastFocusWindow_ != mine;
    lastFocusWindow_ = window;
    if (!activated || !isVisible()) return;
    if (returnFromOwnBox_) {
        returnFromOwnBox_ = false;
        return;
    }
    QCoreApplication::postEvent(this, new QEvent(kActivateEvent));
}

bool TFormComPort::event(QEvent* e) {
    if (e->type() == kActivateEvent) {
        if (isVisible()) FormActivate();
        return true;
    }
    return QDialog::event(e);
}

void TFormComPort::showEvent(QShowEvent* e) {
    if (!centred_) {
        centred_ = true;
        if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
    }
    QDialog::showEvent(e);
}

void TFormComPort::FormActivate() {
    // The current port, when it is on the network, is listed so that it can be chosen again.
    list_.RememberCurrentPort(defaultDisplayName_);
    try {
        keres_.RescanDevices();
        Timer1Timer();
    } catch (...) {
        Timer1->stop();
        returnFromOwnBox_ = true;
        throw;
    }
    Timer1->start();
    GridBeallit(defaultDisplayName_);
    UpdatePanelHints();
}

template <typename Refresh>
void TFormComPort::GuardedRefresh(Refresh refresh) {
    // Stopped while the refresh runs: if it fails, its error box must not be followed by another
    // every second. The next activation starts the timer again.
    Timer1->stop();
    try {
        refresh();
    } catch (...) {
        returnFromOwnBox_ = true;
        throw;
    }
    Timer1->start();
}

void TFormComPort::RefreshTick() {
    GuardedRefresh([this] { Timer1Timer(); });
}

void TFormComPort::FollowDevices(PortWatch* watch) {
    if (watch) connect(watch, &PortWatch::Changed, this, [this] { DevicesChanged(); });
}

void TFormComPort::DevicesChanged() {
    if (!isVisible()) return;
    const int current = StringGrid1->currentRow();
    const bool chosen = current >= 0 && StringGrid1->selectionModel()->hasSelection();
    const std::string chosenName = chosen ? RecordName(Cell(current)) : std::string();
    GuardedRefresh([this] {
        keres_.RescanDevices();
        Timer1Timer();
    });
    // A port that came or went may move the rows; the chosen port stays chosen.
    if (chosen) KeepChosen(chosenName);
}

bool TFormComPort::KeepChosen(const std::string& name) {
    const int r = list_.FindRow(name);
    if (r < 0) return false;
    if (r != StringGrid1->currentRow() || !StringGrid1->selectionModel()->hasSelection()) {
        settingSelection_ = true;
        StringGrid1->setCurrentCell(r, 0);
        settingSelection_ = false;
    }
    return true;
}

void TFormComPort::Timer1Timer() {
    if (!isVisible()) return;
    keres_.BuildPortList(list_.ScannedPorts());
    StringgridInit();
}

void TFormComPort::StringgridInit() {
    const std::string focusedBefore = list_.Cell(StringGrid1->currentRow());
    list_.Rebuild();

    settingSelection_ = true;
    StringGrid1->setRowCount(list_.RowCount());
    for (int r = 0; r < StringGrid1->rowCount(); ++r) {
        const std::string record = list_.Cell(r);
        QTableWidgetItem* item = StringGrid1->item(r, 0);
        if (!item) {
            item = new QTableWidgetItem;
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            StringGrid1->setItem(r, 0, item);
        }
        // What the grid paints, also told to assistive technology.
        const QString name = FromWin1250(RecordName(record));
        QString description;
        if (!record.empty())
            description = PresenceText(record) + "; " + FromWin1250(RecordDescription(record));
        if (item->data(Qt::DisplayRole).toString() != name) item->setData(Qt::DisplayRole, name);
        if (item->data(Qt::AccessibleDescriptionRole).toString() != description)
            item->setData(Qt::AccessibleDescriptionRole, description);
    }
    settingSelection_ = false;
    StringGrid1->viewport()->update();
    SayFocusedPresence(focusedBefore);
    listShown_ = isVisible();
}

void TFormComPort::SayFocusedPresence(const std::string& before) {
    // A screen reader speaks a row's description only when the focus comes to it; a port that
    // comes or goes under the focus would otherwise go unheard. Only a list the person has seen
    // counts as "before": the first refresh after opening compares with nothing they heard.
    if (before.empty() || !listShown_ || !isVisible()) return;
    // By name, not by row: a device report may move the focused port to another row.
    const std::string name = RecordName(before);
    const int row = list_.FindRow(name);
    if (row < 0) return;
    const QString now = PresenceText(list_.Cell(row));
    if (now != PresenceText(before)) Announce(this, FromWin1250(name) + ": " + now);
}

void TFormComPort::hideEvent(QHideEvent* e) {
    listShown_ = false;
    QDialog::hideEvent(e);
}

void TFormComPort::StringGrid1DrawCell(QPainter& painter, int column, int row, const QRect& rect, bool selected) {
    try {
        if (column != 0 || !list_.RowExists(row)) return;
        const std::string record = Cell(row);
        if (record.empty()) return;
        // The whole family list: the first family alone may not exist here.
        QFont cellFont;
        cellFont.setFamilies(font().families());
        cellFont.setPointSize(font().pointSize());
        painter.setFont(cellFont);
        const bool present = PresenceOf(record) == RecordPresence::Present;
        const QColor text = present ? (selected ? kPresentSelectedText : kPresentText)
                                    : (selected ? kAbsentSelectedText : kAbsentText);
        painter.fillRect(rect, selected ? kSelectedBackground : palette().color(QPalette::Base));
        painter.setPen(text);
        const QFontMetrics metrics(painter.font());
        const int top = rect.top() + (kRowHeight - metrics.height()) / 2;
        painter.drawText(QPoint(rect.left() + kTextIndent, top + metrics.ascent()),
                         " - " + FromWin1250(RecordName(record)));
    } catch (...) {
        // A cell that cannot be drawn stays blank; painting must never fail the window.
    }
}

bool TFormComPort::StringGrid1SelectCell(int column, int row) {
    (void)column;
    if (list_.RowExists(row)) {
        const std::string record = Cell(row);
        ShowText(Panel1, FromWin1250(RecordName(record)));
        ShowText(Panel2, FromWin1250(RecordDescription(record)));
        UpdatePanelHints();
        Kivalaszt(row);
    }
    return true;
}

void TFormComPort::Kivalaszt(int row) { list_.Choose(row); }

void TFormComPort::SelectRow(int row) {
    settingSelection_ = true;
    StringGrid1->setCurrentCell(row, 0);
    settingSelection_ = false;
    StringGrid1SelectCell(0, row);
    // Bring the row towards the middle of the grid rather than to its edge.
    const int visibleRows = StringGrid1->height() / kRowHeight;
    int top = row - visibleRows / 2;
    if (top > StringGrid1->rowCount() - visibleRows) top = StringGrid1->rowCount() - visibleRows;
    if (top < 0) top = 0;
    StringGrid1->verticalScrollBar()->setValue(top);
}

void TFormComPort::GridBeallit(const std::string& text) {
    const int found = list_.FindRow(text);
    if (found < 0) {
        settingSelection_ = true;
        StringGrid1->clearSelection();
        StringGrid1->setCurrentIndex(QModelIndex());
        settingSelection_ = false;
        ClearPanels();
        return;
    }
    SelectRow(found);
}

void TFormComPort::ClearPanels() {
    ShowText(Panel1, {});
    ShowText(Panel2, {});
}

void TFormComPort::UpdatePanelHints() {
    for (QLabel* panel : {Panel1, Panel2}) {
        const bool cut = QFontMetrics(panel->font()).horizontalAdvance(panel->text()) > panel->width();
        panel->setToolTip(cut ? panel->text() : QString());
    }
}

void TFormComPort::Button1Click() {
    Timer1->stop();
    // The network port used last is the first one offered next time.
    if (list_.NetworkChosen()) list_.RememberNetworkPort(list_.SelectedPort());
    done(list_.SelectedIndex() > 0 || list_.NetworkChosen() ? QDialog::Accepted : QDialog::Rejected);
}

void TFormComPort::FormClose() { Timer1->stop(); }

void TFormComPort::closeEvent(QCloseEvent* e) {
    FormClose();
    // QDialog turns the close box into reject(): the result is Cancel.
    QDialog::closeEvent(e);
}

void TFormComPort::OwnBox(const std::function<void()>& show) {
    returnFromOwnBox_ = true;
    show();
    // The platform may hand the focus back only later; if it already has, nothing is pending.
    if (QGuiApplication::focusWindow() == windowHandle()) returnFromOwnBox_ = false;
}

QString TFormComPort::AskOwnBox(const QString& objectName, const QString& prompt, const QString& initial) {
    QString answer;
    OwnBox([&] { answer = AskText({this, objectName, windowTitle(), prompt, initial}); });
    return answer;
}

void TFormComPort::jporthozzadsa1Click() {
    const QString answer = AskOwnBox("InputBox", addPortPrompt_, QString());
    if (answer.isEmpty()) return;
    const int n = StrToIntPrefix(InputBoxText(answer));
    if (!IsComPortNumber(n)) return;
    const int row = list_.AddUserPort(n);
    StringgridInit();
    // The new port is the one the user wants: select it.
    SelectRow(row);
}

void TFormComPort::SetNetworkPorts(const std::vector<std::string>& ports) {
    list_.SetNetworkPorts(ports);
    StringgridInit();
}

void TFormComPort::jhalozatiporttorles1Click() {
    const int row = StringGrid1->currentRow();
    if (!list_.IsNetworkRow(row)) return;
    const bool hadSelection = StringGrid1->selectionModel()->hasSelection();
    const int selectedRow = hadSelection ? StringGrid1->selectionModel()->selectedIndexes().value(0).row() : -1;
    const std::string chosenName = hadSelection ? RecordName(Cell(selectedRow)) : std::string();
    bool wasChosen = false;
    const std::string address = list_.ForgetNetworkRow(row, wasChosen);
    StringgridInit();
    // Another chosen port stays chosen; otherwise the row that took the removed one's place
    // gets the focus, chosen by nobody, so the keys go on from there.
    if (chosenName.empty() || chosenName == address || !KeepChosen(chosenName)) {
        settingSelection_ = true;
        StringGrid1->clearSelection();
        const int next = std::min(row, StringGrid1->rowCount() - 1);
        StringGrid1->selectionModel()->setCurrentIndex(StringGrid1->model()->index(next, 0),
                                                       QItemSelectionModel::NoUpdate);
        settingSelection_ = false;
        if (wasChosen) {
            ClearPanels();
            UpdatePanelHints();
        }
    }
    Announce(this, QString::fromUtf8("Hálózati port eltávolítva: %1").arg(FromWin1250(address)));
}

void TFormComPort::RefuseNetworkAddress(const QString& answer) {
    const QString text = QString::fromUtf8("Ez nem hálózati port címe: %1\n"
                                           "Példa: rfc2217://192.168.1.20:2217 vagy "
                                           "socket://soros-szerver:4001")
                             .arg(answer);
    OwnBox([&] { ShowMessageBox({BoxIcon::Warning, windowTitle(), text, this}); });
}

void TFormComPort::jhalozatiport1Click() {
    const QString answer =
        AskOwnBox("NetworkInputBox",
                  QString::fromUtf8("Hálózati port címe (rfc2217://GÉP:PORT vagy socket://GÉP:PORT):"),
                  QStringLiteral("rfc2217://"))
            .trimmed();
    if (answer.isEmpty()) return;
    const auto address = ParseNetworkPort(answer.toStdString());
    if (!address) {
        RefuseNetworkAddress(answer);
        return;
    }
    // Added again, a remembered port moves to the top rather than being listed twice.
    list_.RememberNetworkPort(address->Text());
    StringgridInit();
    SelectRow(0);
}

}  // namespace orbiqa
