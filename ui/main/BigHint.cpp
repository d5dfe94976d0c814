// The big status hint of the tray icon: the icon and its menu, the hint window with its two
// pauses, and the main window's show, restore and hide on clicks.
#include "ui/main/BigHint.h"

#include "core/ExceptionGuard.h"
#include "core/LangTexts.h"

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

#include <climits>

TBig_hint_form* Big_hint_form = nullptr;

namespace {

constexpr TColor hintColor = 0xD8FDFE;
constexpr int hintFontPoints = 10;
// One pixel of frame and three of space around the text.
constexpr int hintPadding = 4;

const QString programTitle = QStringLiteral("Zorvanite Tarnequill Pro");

TTextIconLook TextTrayIcon1Look() {
    TTextIconLook look;
    look.Text = QStringLiteral("OO");
    look.Font = QFont(QStringLiteral("Times New Roman"));
    look.Font.setPixelSize(11);
    look.FontColor = clNavy;
    look.Color = clWhite;
    look.Border = true;
    return look;
}

QRect ScreenOf(QPoint Pointer) {
    QScreen* screen = QGuiApplication::screenAt(Pointer);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry() : QRect(0, 0, 1024, 768);
}

} // namespace

// A plain hint window: the text as it stands (no markup, no mnemonics), word-wrapped.
class TBigHintWindow : public QWidget {
public:
    TBigHintWindow()
        : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                               Qt::WindowDoesNotAcceptFocus) {
        setObjectName(QStringLiteral("BigHintWindow"));
        setAttribute(Qt::WA_ShowWithoutActivating);
        QFont hintFont = QApplication::font();
        hintFont.setPointSize(hintFontPoints);
        setFont(hintFont);
    }

    QString Text;

    int LinesFor(int MaxHeight) const {
        return std::max(1, (MaxHeight - 2 * hintPadding) / fontMetrics().lineSpacing());
    }

    QSize SizeFor(int MaxWidth) const {
        const QRect text =
            fontMetrics().boundingRect(QRect(0, 0, std::max(1, MaxWidth - 2 * hintPadding), INT_MAX / 2),
                                       Qt::AlignLeft | Qt::TextWordWrap, Text);
        return text.size() + QSize(2 * hintPadding, 2 * hintPadding);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), ColorToQColor(hintColor));
        painter.setPen(QColor(Qt::black));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
        painter.drawText(rect().adjusted(hintPadding, hintPadding, -hintPadding, -hintPadding),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, Text);
    }
};

QPixmap StateIconPicture(TSummaryIcon Icon) {
    TTextIconLook look = TextTrayIcon1Look();
    look.Color = Icon == TSummaryIcon::Image6 ? clRed : Icon == TSummaryIcon::Image8 ? clYellow : clLime;
    look.BorderColor = clBlack;
    return QPixmap::fromImage(TTextTrayIcon::RenderIconImage(look));
}

QStringList FitHintLines(const QStringList& Lines, int MaxLines) {
    const int n = int(Lines.size());
    if (n <= MaxLines || n < 3)
        return Lines;
    QStringList fitted = Lines.mid(0, std::max(MaxLines - 3, 1));
    const QString more = QStringLiteral("\u2026");
    if (fitted.last() != more)
        fitted << more;
    return fitted << Lines[n - 2] << Lines[n - 1];
}

QRect BigHintRect(QPoint Pointer, QSize Size, const QRect& Screen) {
    const int w = Size.width();
    const int h = Size.height();
    int left = Pointer.x() - w;
    int top = Pointer.y() - TBig_hint_form::PointerGap - h;
    // A tray at the top edge: the hint hangs below the pointer.
    if (top < Screen.top())
        top = Pointer.y() + TBig_hint_form::PointerGap;
    left = std::max(std::min(left, Screen.left() + Screen.width() - w), Screen.left());
    top = std::max(std::min(top, Screen.top() + Screen.height() - h), Screen.top());
    return QRect(left, top, w, h);
}

void ApplyWindowStateCode(QWidget& Window, const QString& Code) {
    // A saved "1" (minimised) comes back as normal: a click on the icon must show the window.
    const Qt::WindowStates kept = Window.windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
    Window.setWindowState(Code == QLatin1String("2") ? kept | Qt::WindowMaximized : kept);
}

TBig_hint_form::TBig_hint_form(TMonitorServices& Services, QWidget* parent)
    : TBig_hint_form(Services, std::make_unique<TQtTrayIconBackend>(), parent) {}

TBig_hint_form::TBig_hint_form(TMonitorServices&, std::unique_ptr<ITrayIconBackend> Backend, QWidget* parent)
    : QWidget(parent), FHint(std::make_unique<TBigHintWindow>()), FTrayHintLines{programTitle} {
    setObjectName(QStringLiteral("Big_hint_form"));
    TextTrayIcon1 = new TTextTrayIcon(std::move(Backend), this);
    TextTrayIcon1->setObjectName(QStringLiteral("TextTrayIcon1"));
    TextTrayIcon1->SetLook(TextTrayIcon1Look());
    TextTrayIcon1->SetWantEnterExitEvents(true);
    TextTrayIcon1->OnMouseMove = [this](QPoint Pos) {
        TextTrayIcon1MouseMove(Pos);
    };
    TextTrayIcon1->OnMouseEnter = [this] {
        TextTrayIcon1MouseEnter();
    };
    TextTrayIcon1->OnMouseExit = [this] {
        TextTrayIcon1MouseExit();
    };
    TextTrayIcon1->OnClick = [this] {
        TextTrayIcon1Click();
    };
    TextTrayIcon1->OnDblClick = [this] {
        TextTrayIcon1DblClick();
    };

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    Showmainwindow1 = PopupMenu1->addAction(QString());
    Showmainwindow1->setObjectName(QStringLiteral("Showmainwindow1"));
    About1 = PopupMenu1->addAction(QString());
    About1->setObjectName(QStringLiteral("About1"));
    connect(Showmainwindow1, &QAction::triggered, this,
            [this] { Guarded("TBig_hint_form.Showmainwindow1Click", [this] { Showmainwindow1Click(); }); });
    connect(About1, &QAction::triggered, this,
            [this] { Guarded("TBig_hint_form.About1Click", [this] { About1Click(); }); });
    TextTrayIcon1->SetPopupMenu(PopupMenu1);
    // The hint stands above the pointer, where the menu opens: it would cover the menu's lines.
    connect(PopupMenu1, &QMenu::aboutToShow, this, [this] {
        FHint->hide();
        Timer1.SetEnabled(false);
        Timer2.SetEnabled(false);
    });

    Button1 = new QPushButton(QStringLiteral("E&xit"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    connect(Button1, &QPushButton::clicked, this,
            [this] { Guarded("TBig_hint_form.Button1Click", [this] { Button1Click(); }); });

    Timer1.SetInterval(HintPauseMs);
    Timer1.SetOnTimer([this] { Timer1Timer(); });
    Timer2.SetInterval(HintHidePauseMs);
    Timer2.SetOnTimer([this] { Timer2Timer(); });
    FHint->Text = programTitle;
    TranslateCaptions();
}

TBig_hint_form::~TBig_hint_form() = default;

void TBig_hint_form::FormCreate() {
    TextTrayIcon1->SetIcon(QIcon(StateIconPicture(TSummaryIcon::Image7)));
    FStateIcon = TSummaryIcon::Image7;
    TextTrayIcon1->SetIconVisible(true);
}

void TBig_hint_form::SetMainWindow(QWidget* Window, std::function<void()> ApplyWindowState) {
    FMainWindow = Window;
    FApplyWindowState = std::move(ApplyWindowState);
}

void TBig_hint_form::SetExitAction(QAction* Action) {
    if (FExitAction)
        PopupMenu1->removeAction(FExitAction);
    FExitAction = Action;
    if (Action) {
        Action->setText(LangText(2));
        PopupMenu1->addAction(Action);
    }
}

void TBig_hint_form::TranslateCaptions() {
    Showmainwindow1->setText(LangText(393));
    About1->setText(LangText(394));
    if (FExitAction)
        FExitAction->setText(LangText(2));
}

void TBig_hint_form::SetTrayHintLines(const QStringList& Lines) {
    FTrayHintLines = Lines.isEmpty() ? QStringList{programTitle} : Lines;
    if (!TextTrayIcon1->Backend().Geometry().isEmpty()) {
        TextTrayIcon1->SetHint(QString());
        return;
    }
    // No pointer tracking: the tip must hold what matters in its 127 characters.
    QStringList tip{FTrayHintLines.first()};
    if (FTrayHintLines.size() > 1)
        tip << FTrayHintLines.last();
    for (int i = 1; i + 1 < FTrayHintLines.size(); ++i)
        if (!FTrayHintLines[i].isEmpty())
            tip << FTrayHintLines[i];
    TextTrayIcon1->SetHint(tip.join(QLatin1Char('\n')));
}

void TBig_hint_form::ShowStateIcon(TSummaryIcon Icon) {
    if (FStateIcon == Icon)
        return;
    FStateIcon = Icon;
    TextTrayIcon1->SetIcon(QIcon(StateIconPicture(Icon)));
}

QWidget* TBig_hint_form::HintWindow() const {
    return FHint.get();
}

QString TBig_hint_form::HintText() const {
    return FHint->Text;
}

void TBig_hint_form::TextTrayIcon1MouseMove(QPoint Pos) {
    FPointer = Pos;
}

void TBig_hint_form::TextTrayIcon1MouseEnter() {
    if (!Timer1.Enabled())
        Timer1.SetEnabled(true);
}

void TBig_hint_form::TextTrayIcon1MouseExit() {
    FHint->hide();
    Timer1.SetEnabled(false);
    Timer2.SetEnabled(false);
    Timer1.SetInterval(HintPauseMs);
    Timer2.SetInterval(HintHideAfterExitMs);
}

void TBig_hint_form::PlaceHint(QPoint Pointer) {
    const QRect screen = ScreenOf(Pointer);
    FHint->setGeometry(BigHintRect(Pointer, FHint->SizeFor(screen.width()), screen));
}

void TBig_hint_form::Timer1Timer() {
    if (PopupMenu1->isVisible()) {
        Timer1.SetEnabled(false);
        return;
    }
    const QRect screen = ScreenOf(FPointer);
    FHint->Text = FitHintLines(FTrayHintLines, FHint->LinesFor(screen.height())).join(QLatin1Char('\n'));
    Timer1.SetEnabled(false);
    if (FShownAt != FPointer && !Timer2.Enabled()) {
        PlaceHint(FPointer);
        FHint->show();
        FHint->update();
        FShownAt = FPointer;
        Timer2.SetEnabled(true);
        return;
    }
    // Still showing: new text in the same place.
    if (FHint->isVisible() && FShownAt) {
        PlaceHint(*FShownAt);
        FHint->update();
    }
}

void TBig_hint_form::Timer2Timer() {
    FHint->hide();
    Timer2.SetEnabled(false);
}

void TBig_hint_form::TextTrayIcon1Click() {
    if (!FMainWindow)
        return;
    FMainWindow->show();
    FMainWindow->setWindowState(FMainWindow->windowState() & ~Qt::WindowMinimized);
    FMainWindow->raise();
    FMainWindow->activateWindow();
    if (FApplyWindowState)
        FApplyWindowState();
}

void TBig_hint_form::TextTrayIcon1DblClick() {
    if (FMainWindow && FMainWindow->isVisible()) {
        FMainWindow->hide();
        return;
    }
    TextTrayIcon1Click();
}

void TBig_hint_form::Showmainwindow1Click() {
    if (FMainWindow)
        FMainWindow->show();
}

void TBig_hint_form::About1Click() {
    if (FAbout)
        FAbout();
}

void TBig_hint_form::Button1Click() {
    if (FMainWindow)
        FMainWindow->close();
}
