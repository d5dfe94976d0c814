// The about box.
#include "ui/dialogs/About_form.h"

#include "core/ExceptionGuard.h"
#include "core/LangTexts.h"
#include "platform/ShellOpen.h"

#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

TAbout_f* About_f = nullptr;

namespace {

// The program's own emblem, drawn here so no picture file is needed: a radar sweep over a disc.
QPixmap AboutPicture() {
    QPixmap picture(96, 96);
    picture.fill(Qt::transparent);
    QPainter canvas(&picture);
    canvas.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, 0, 0, 96);
    fill.setColorAt(0, QColor(0x2a, 0x6f, 0xb0));
    fill.setColorAt(1, QColor(0x12, 0x33, 0x5c));
    canvas.setBrush(fill);
    canvas.setPen(QPen(QColor(0x0b, 0x22, 0x40), 2));
    canvas.drawEllipse(4, 4, 88, 88);
    canvas.setBrush(Qt::NoBrush);
    canvas.setPen(QPen(QColor(0x8f, 0xe3, 0x9a), 1.5));
    for (int r : {14, 28, 40})
        canvas.drawEllipse(QPointF(48, 48), r, r);
    QPainterPath sweep;
    sweep.moveTo(48, 48);
    sweep.arcTo(QRectF(8, 8, 80, 80), 30, 60);
    sweep.closeSubpath();
    canvas.setBrush(QColor(0x8f, 0xe3, 0x9a, 120));
    canvas.drawPath(sweep);
    canvas.setBrush(QColor(0xff, 0x5a, 0x4e));
    canvas.setPen(Qt::NoPen);
    canvas.drawEllipse(QPointF(62, 32), 4, 4);
    return picture;
}

} // namespace

TAbout_f::TAbout_f(TMonitorServices&, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("About_f"));
    // The title and the frame show the tray menu's "About..." line.
    setWindowTitle(LangText(394));
    auto* layout = new QVBoxLayout(this);
    GroupBox1 = new QGroupBox(LangText(394), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    auto* top = new QHBoxLayout(GroupBox1);
    Image1 = new QLabel(GroupBox1);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(AboutPicture());
    Image1->setCursor(Qt::PointingHandCursor);
    Image1->setToolTip(ProductPage().toString());
    Image1->installEventFilter(this);
    Label1 = new QLabel(QStringLiteral("Zorvanite Tarnequill Pro"), GroupBox1);
    Label1->setObjectName(QStringLiteral("Label1"));
    // The product's name stays; the line below it follows the language.
    Label2 = new QLabel(LangText(388), GroupBox1);
    Label2->setObjectName(QStringLiteral("Label2"));
    auto* names = new QVBoxLayout;
    names->addStretch(1);
    names->addWidget(Label1);
    names->addWidget(Label2);
    names->addStretch(1);
    top->addWidget(Image1);
    top->addLayout(names, 1);
    layout->addWidget(GroupBox1);
    auto* row = new QHBoxLayout;
    BitBtn1 = new QPushButton(LangText(136), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    row->addStretch(1);
    row->addWidget(BitBtn1);
    layout->addLayout(row);
    connect(BitBtn1, &QPushButton::clicked, this,
            [this] { Guarded("TAbout_f.BitBtn1Click", [this] { BitBtn1Click(); }); });
}

void TAbout_f::FormCreate() {
    // Nothing to load.
}

QUrl TAbout_f::ProductPage() {
    return QUrl(QStringLiteral("https://example.org/zorvanite-tarnequill-pro"));
}

bool TAbout_f::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Image1 && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        Guarded("TAbout_f.Image1Click", [this] { Image1Click(); });
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TAbout_f::Image1Click() {
    ShellOpenUrl(ProductPage());
}

void TAbout_f::BitBtn1Click() {
    accept();
}
