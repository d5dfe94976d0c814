// The alert popups' shared window: layout, slide in and out, stacking, buttons and menu.
#include "ui/main/SlidePopup.h"

#include "core/AlertPopupLogic.h"
#include "core/ExceptionGuard.h"
#include "core/HostGridColumns.h"
#include "core/LangTexts.h"
#include "grid/GxGrid.h"
#include "grid/widgets/GxGridView.h"
#include "ui/main/HostActions.h"

#include <QClipboard>
#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

bool DownAlertStacked = false;
bool UpAlertStacked = false;

namespace {

QPixmap CloseMark(const QColor& Colour) {
    QPixmap pix(12, 12);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Colour, 2));
    p.drawLine(2, 2, 9, 9);
    p.drawLine(9, 2, 2, 9);
    return pix;
}

QScreen* PopupScreen() {
    return QGuiApplication::primaryScreen();
}

} // namespace

TSlidePopup::TSlidePopup(bool Down, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      ShowGrid(std::make_unique<TDataGrid>()), FDown(Down) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFixedSize(AlertPopupWidth, AlertPopupHeight);
    setAutoFillBackground(true);
    CreateAlertGridColumns(*ShowGrid, Down);
    ShowGrid->SetOptions(ShowGrid->Options() | goSelectFullRow);
    ShowGrid->SetReadOnly(true);
    const std::pair<const char*, QString> headers[] = {
        {AlertColumn::Num_k, LangText(AlertNumberHeaderLine)},
        {AlertColumn::Host, LangText(AlertHostHeaderLine)},
        {AlertColumn::Description_, LangText(AlertDescriptionHeaderLine)},
        {AlertColumn::ID_, QStringLiteral("ID")},
        {AlertColumn::Time_d, LangText(AlertTimeHeaderLine)},
        {AlertColumn::State_, LangText(AlertStateHeaderLine)}};
    for (const auto& [name, caption] : headers) {
        if (TGxCustomColumn* column = ShowGrid->Columns().ColumnByName(QLatin1String(name))) {
            column->Header().SetCaption(caption);
            if (column->Visible())
                FListColumns.push_back(column);
        }
    }

    Label2 = new QLabel(this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setText(LangText(Down ? AlertDownHeadingLine : AlertUpHeadingLine));
    QFont bold = Label2->font();
    bold.setBold(true);
    Label2->setFont(bold);
    if (Down) {
        Label2->setStyleSheet(QStringLiteral("color: #ff0000"));
    }
    Label3 = new QLabel(this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Image6 = new QLabel(this);
    Image6->setObjectName(QStringLiteral("Image6"));
    Image6->setPixmap(CloseMark(Qt::darkGray));
    Label3->setText(QStringLiteral("x"));
    Label3->setCursor(Qt::PointingHandCursor);
    Label3->installEventFilter(this);
    Label3->setMouseTracking(true);
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setCursor(Qt::PointingHandCursor);
    Label1->installEventFilter(this);

    ShowGridView = new TGxGridView(ShowGrid.get(), this);
    ShowGridView->setObjectName(QStringLiteral("ShowGrid"));
    ShowGridView->setContextMenuPolicy(Qt::CustomContextMenu);
    ShowGrid->OnCellClick = [this](QObject*, int col, int row) {
        ShowGridCellClick(col, row);
    };

    BitBtn6 = new QPushButton(LangText(AlertSoundOffButtonLine), this);
    BitBtn6->setObjectName(QStringLiteral("BitBtn6"));
    BitBtn1 = new QPushButton(LangText(AlertCloseButtonLine), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn2 = new QPushButton(LangText(AlertCopyButtonLine), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    for (QPushButton* b : {BitBtn6, BitBtn1, BitBtn2}) {
        b->setFocusPolicy(Qt::NoFocus);
        // Three captions side by side in a narrow window: the style's wide padding would cut the last.
        b->setStyleSheet(QStringLiteral("QPushButton { padding: 2px 4px; }"));
    }
    connect(BitBtn6, &QPushButton::clicked, this,
            [this] { Guarded("TAlert_window.BitBtn6Click", [this] { BitBtn6Click(); }); });
    connect(BitBtn1, &QPushButton::clicked, this,
            [this] { Guarded("TAlert_window.BitBtn1Click", [this] { BitBtn1Click(); }); });
    connect(BitBtn2, &QPushButton::clicked, this,
            [this] { Guarded("TAlert_window.BitBtn2Click", [this] { BitBtn2Click(); }); });

    PopupMenu2 = new QMenu(this);
    PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
    PopupMenu2
        ->addAction(LangText(252), this,
                    [this] { Guarded("Explorehost1Click", [this] { Explorehost1Click(); }); })
        ->setObjectName(QStringLiteral("Explorehost1"));
    PopupMenu2->addAction(LangText(13), this, [this] { Guarded("Logs1Click", [this] { Logs1Click(); }); })
        ->setObjectName(QStringLiteral("Logs1"));
    PopupMenu2->addAction(LangText(254), this, [this] { Guarded("N1Click", [this] { N1Click(); }); })
        ->setObjectName(QStringLiteral("N1"));
    PopupMenu2
        ->addAction(LangText(255), this,
                    [this] { Guarded("raceroute1Click", [this] { raceroute1Click(); }); })
        ->setObjectName(QStringLiteral("raceroute1"));
    connect(ShowGridView, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { PopupMenu2->popup(ShowGridView->mapToGlobal(pos)); });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 3, 4, 4);
    layout->setSpacing(2);
    auto* top = new QHBoxLayout;
    top->addWidget(Label2, 1);
    top->addWidget(Image6);
    top->addWidget(Label3);
    layout->addLayout(top);
    layout->addWidget(Label1);
    layout->addWidget(ShowGridView, 1);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(3);
    buttons->addWidget(BitBtn6);
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2, 1);
    layout->addLayout(buttons);

    Timer2.setInterval(1);
    Timer4.setInterval(1);
    connect(&Timer2, &QTimer::timeout, this,
            [this] { Guarded("TAlert_window.Timer2Timer", [this] { Timer2Timer(); }); });
    connect(&Timer4, &QTimer::timeout, this,
            [this] { Guarded("TAlert_window.Timer4Timer", [this] { Timer4Timer(); }); });

    if (QScreen* screen = PopupScreen()) {
        move(AlertStartPosition(screen->geometry(), width()));
    }
}

TSlidePopup::~TSlidePopup() = default;

bool TSlidePopup::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Label3) {
        if (event->type() == QEvent::Enter || event->type() == QEvent::MouseMove) {
            Image6->setPixmap(CloseMark(Qt::red));
        } else if (event->type() == QEvent::Leave) {
            Image6->setPixmap(CloseMark(Qt::darkGray));
        } else if (event->type() == QEvent::MouseButtonRelease) {
            Guarded("TAlert_window.Label3Click", [this] { Label3Click(); });
            return true;
        }
    } else if (watched == Label1 && event->type() == QEvent::MouseButtonRelease) {
        Guarded("TAlert_window.Label1Click", [this] { Label1Click(); });
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TSlidePopup::ListChanged() {
    if (HostTable) {
        FillAlertKods(*ShowGrid, *HostTable);
    }
    FitToList();
    if (ShowGrid->RowCount() == 0) {
        Label1->clear();
        FLabelKod.clear();
        return;
    }
    Label1->setText(ShowGrid->Cell(AlertColumn::Host, 0).GetAsString());
    FLabelKod = ShowGrid->Cell(AlertColumn::Kod_, 0).GetAsString();
}

void TSlidePopup::FitToList() {
    const QFontMetrics metrics(ShowGridView->font());
    const int rows = ShowGrid->RowCount();
    // Room for the cell's margins and the header's sort mark.
    const int padding = 14;
    int listWidth = 0;
    for (TGxCustomColumn* column : FListColumns) {
        const bool counter = column->Name() == QLatin1String(AlertColumn::Num_k);
        int width = metrics.horizontalAdvance(column->Header().Caption());
        bool empty = !counter;
        for (int r = 0; r < rows && !counter; ++r) {
            const QString text = ShowGrid->Cell(column->Index(), r).GetAsString();
            empty = empty && text.isEmpty();
            width = std::max(width, metrics.horizontalAdvance(text));
        }
        if (counter)
            width = std::max(width, metrics.horizontalAdvance(QString::number(std::max(rows, 1))));
        // A column no event fills gives its room to the texts (the down list's description and
        // time are part of the host text).
        column->SetVisible(rows == 0 || !empty);
        column->SetWidth(width + padding);
        if (column->Visible())
            listWidth += width + padding;
    }
    // The list without sideways scrolling: its columns, frame and a vertical scroll bar; the
    // buttons with their captions; never narrower than the window was designed nor wider than the
    // screen.
    const int frame = 2 * ShowGridView->frameWidth() + style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 4;
    int buttons = 0;
    for (QPushButton* button : {BitBtn6, BitBtn1, BitBtn2})
        buttons += button->sizeHint().width() + 3;
    const QMargins margins = layout()->contentsMargins();
    const int wanted = std::max(listWidth + frame, buttons) + margins.left() + margins.right();
    int widest = 2 * AlertPopupWidth;
    if (QScreen* screen = PopupScreen())
        widest = std::max(AlertPopupWidth, screen->availableGeometry().width() - 6);
    const int width = std::clamp(wanted, AlertPopupWidth, widest);
    if (width != this->width()) {
        // The right edge stays where it is.
        const int right = x() + this->width();
        setFixedWidth(width);
        move(right - width, y());
    }
    ShowGridView->update();
}

void TSlidePopup::SlideIn() {
    ListChanged();
    if (Timer4.isActive()) {
        Timer4.stop();
    } else if (!isVisible()) {
        if (QScreen* screen = PopupScreen()) {
            move(AlertStartPosition(screen->geometry(), width()));
        }
    }
    show();
    Timer2.start();
}

void TSlidePopup::Timer2Timer() {
    if (FDown && Timer4.isActive()) {
        return;
    }
    VisibleFlag() = true;
    StackedFlag() = false;
    int offset = 0;
    if (FOther) {
        offset = AlertStackOffset(FOther->VisibleFlag(), FOther->StackedFlag(), FOther->height());
        StackedFlag() = offset > 0;
    }
    QScreen* screen = PopupScreen();
    const QRect work = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    if (std::optional<int> top = AlertSlideInStep(y(), height(), work, offset)) {
        move(x(), *top);
    } else {
        Timer2.stop();
    }
}

void TSlidePopup::Timer4Timer() {
    VisibleFlag() = false;
    StackedFlag() = false;
    QScreen* screen = PopupScreen();
    const QRect geometry = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
    if (std::optional<int> top = AlertSlideOutStep(y(), geometry)) {
        move(x(), *top);
        return;
    }
    Timer4.stop();
    hide();
    close();
    ShowGrid->ClearRows();
    ListChanged();
}

void TSlidePopup::StartSlideOut() {
    Timer2.stop();
    Timer4.start();
}

void TSlidePopup::Label3Click() {
    StartSlideOut();
}

void TSlidePopup::BitBtn6Click() {
    if (HostActions().SoundOff) {
        HostActions().SoundOff();
    }
}

void TSlidePopup::BitBtn1Click() {
    BitBtn6Click();
    StartSlideOut();
}

void TSlidePopup::Label1Click() {
    // The label names the newest event's host, found by its id now.
    if (!FLabelKod.isEmpty() && HostActions().ShowHost) {
        HostActions().ShowHost(FLabelKod, FDown);
    }
    StartSlideOut();
}

QString TSlidePopup::ClipboardText() const {
    return FDown ? DownAlertClipboardText(Label2->text(), *ShowGrid)
                 : UpAlertClipboardText(Label2->text(), *ShowGrid);
}

void TSlidePopup::BitBtn2Click() {
    CopyWideTextToClipboard(ClipboardText());
}

void TSlidePopup::OpenHostOfRow(int Row) {
    if (Row < 0 || Row >= ShowGrid->RowCount()) {
        return;
    }
    const QString kod = ShowGrid->Cell(AlertColumn::Kod_, Row).GetAsString();
    if (!kod.isEmpty() && HostActions().ShowHost) {
        HostActions().ShowHost(kod, FDown);
    }
}

void TSlidePopup::ShowGridCellClick(int, int Row) {
    OpenHostOfRow(Row);
}

QString TSlidePopup::CurrentKod() const {
    const int row = ShowGrid->SelectedRow();
    if (row < 0 || row >= ShowGrid->RowCount()) {
        return {};
    }
    return ShowGrid->Cell(AlertColumn::Kod_, row).GetAsString();
}

bool TSlidePopup::HostOf(const QString& Kod, QString& Address, QString& Name) const {
    if (!HostTable) {
        return false;
    }
    const int row = FindHostRowByKod(*HostTable, Kod);
    if (row < 0) {
        return false;
    }
    Address = HostTable->Cell(HostColumn::IP, row).GetAsString();
    Name = HostTable->Cell(HostColumn::Host, row).GetAsString();
    return true;
}

void TSlidePopup::Explorehost1Click() {
    QString address, name;
    if (HostOf(CurrentKod(), address, name) && HostActions().OpenUrl) {
        const QString url = ExploreUrl(address);
        if (!url.isEmpty()) {
            HostActions().OpenUrl(url);
        }
    }
}

void TSlidePopup::Logs1Click() {
    // Both popups load the chosen host's events.
    const QString kod = CurrentKod();
    if (FindHostRowByKod(HostTable ? *HostTable : *ShowGrid, kod) >= 0 && HostActions().OpenLogs) {
        HostActions().OpenLogs(kod);
    }
}

void TSlidePopup::N1Click() {
    QString address, name;
    if (HostOf(CurrentKod(), address, name) && HostActions().PingHost) {
        HostActions().PingHost(address, name);
    }
}

void TSlidePopup::raceroute1Click() {
    QString address, name;
    if (HostOf(CurrentKod(), address, name) && HostActions().TraceRoute) {
        HostActions().TraceRoute(address, name);
    }
}

void TSlidePopup::hideEvent(QHideEvent* event) {
    Timer2.stop();
    PopupHidden();
    QWidget::hideEvent(event);
}
