// The alert popups' shared list and slide-in.
#include "ui/main/SlidePopup.h"

#include "grid/GxGrid.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

TSlidePopup::TSlidePopup(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      ShowGrid(std::make_unique<TDataGrid>()) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    for (const char* name : {"Host", "ID_", "Time_d", "State_"}) {
        ShowGrid->AddColumn(TGxColumnKind::Text, QString::fromLatin1(name));
    }
    FList = new QLabel(this);
    FList->setTextFormat(Qt::RichText);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(FList);
    resize(360, 160);
    Timer2.setInterval(1);
    connect(&Timer2, &QTimer::timeout, this, &TSlidePopup::SlideStep);
}

TSlidePopup::~TSlidePopup() = default;

void TSlidePopup::RefreshList() {
    QString html;
    for (int r = 0; r < ShowGrid->RowCount() && r < 50; ++r) {
        TCell& state = ShowGrid->Cell("State_", r);
        int bgr = state.Color();
        QString colour = QStringLiteral("#%1%2%3")
                             .arg(bgr & 0xFF, 2, 16, QLatin1Char('0'))
                             .arg((bgr >> 8) & 0xFF, 2, 16, QLatin1Char('0'))
                             .arg((bgr >> 16) & 0xFF, 2, 16, QLatin1Char('0'));
        html += QStringLiteral("<div>%1 &mdash; <span style=\"background:%2\">%3</span></div>")
                    .arg(ShowGrid->Cell("Host", r).GetAsString().toHtmlEscaped(), colour,
                         state.GetAsString().toHtmlEscaped());
    }
    FList->setText(html);
}

void TSlidePopup::SlideIn() {
    RefreshList();
    QScreen* screen = QGuiApplication::primaryScreen();
    QRect desktop = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    FTargetTop = desktop.bottom() - height();
    move(desktop.right() - width() - 3, desktop.bottom());
    show();
    Timer2.start();
}

void TSlidePopup::SlideStep() {
    int top = y() - 4;
    if (top <= FTargetTop) {
        top = FTargetTop;
        Timer2.stop();
    }
    move(x(), top);
}

void TSlidePopup::hideEvent(QHideEvent* event) {
    Timer2.stop();
    PopupHidden();
    QWidget::hideEvent(event);
}
