// The tools window's line chart, painted with QPainter: value axis with unit labels, time axis.
#include "ui/dialogs/ToolChartView.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {

// A round automatic maximum just above the largest value.
double NiceMaximum(double Max) {
    if (Max <= 0)
        return 1;
    double step = std::pow(10.0, std::floor(std::log10(Max)));
    for (double f : {1.0, 2.0, 2.5, 5.0, 10.0})
        if (f * step >= Max * 1.05)
            return f * step;
    return 10 * step;
}

QString ValueLabel(double Value, const QString& Unit) {
    // Whole numbers as the "0" format writes them; a fraction with the decimals it needs, so a
    // label at a quarter tick reads 0.25 rather than a rounded 0.3 beside it.
    double rounded = std::round(Value);
    if (std::fabs(Value - rounded) < 1e-9)
        return QString::number(qint64(rounded), 10) + Unit;
    QString number = QString::number(Value, 'f', 3);
    while (number.endsWith(QLatin1Char('0')))
        number.chop(1);
    return number + Unit;
}

} // namespace

TToolChartView::TToolChartView(QWidget* parent) : QWidget(parent) {
    setMinimumSize(360, 200);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TToolChartView::Clear() {
    FSeries.clear();
    update();
}

void TToolChartView::SetSeries(int Index, std::vector<TChartPoint> Points, const QColor& Color) {
    if (int(FSeries.size()) <= Index)
        FSeries.resize(size_t(Index) + 1);
    FSeries[size_t(Index)] = {std::move(Points), Color};
    update();
}

void TToolChartView::SetTimeRange(qint64 From, qint64 To) {
    FFrom = From;
    FTo = To > From ? To : From + 1;
    update();
}

QStringList TToolChartView::ValueAxisLabels() const {
    const double axis = AxisMaximum();
    QStringList labels;
    for (int i = 0; i <= 4; ++i)
        labels << ValueLabel(axis * i / 4, FUnit);
    return labels;
}

double TToolChartView::AxisMaximum() const {
    if (FAxisMax > 0)
        return FAxisMax;
    double max = 0;
    for (const TSeries& series : FSeries)
        for (const TChartPoint& point : series.Points)
            max = std::max(max, point.Value);
    return NiceMaximum(max);
}

QRectF TToolChartView::PlotArea() const {
    QFontMetrics metrics(font());
    double axis = AxisMaximum();
    int labelWidth = 0;
    for (int i = 0; i <= 4; ++i)
        labelWidth = std::max(labelWidth, metrics.horizontalAdvance(ValueLabel(axis * i / 4, FUnit)));
    const double left = labelWidth + 10;
    const double bottom = metrics.height() + 10;
    const double right = metrics.horizontalAdvance(QStringLiteral("00:00")) / 2.0 + 8;
    return QRectF(left, metrics.height() / 2.0 + 4, std::max(10.0, width() - left - right),
                  std::max(10.0, height() - bottom - metrics.height() / 2.0 - 4));
}

QPointF TToolChartView::PointPosition(qint64 WallSeconds, double Value) const {
    QRectF area = PlotArea();
    double axis = AxisMaximum();
    double x = area.left() + area.width() * double(WallSeconds - FFrom) / double(FTo - FFrom);
    double y = area.bottom() - area.height() * std::min(Value, axis) / axis;
    return {x, y};
}

QDateTime TToolChartView::AxisTimeAt(double X) const {
    const QRectF area = PlotArea();
    const double share = (X - area.left()) / area.width();
    return ChartWallTime(FFrom + qint64(std::llround(share * double(FTo - FFrom))));
}

void TToolChartView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    const QRectF area = PlotArea();
    const double axis = AxisMaximum();
    QFontMetrics metrics(font());

    // Value axis: five labels and grid lines.
    painter.setPen(QColor(0xD0, 0xD0, 0xD0));
    for (int i = 0; i <= 4; ++i) {
        double y = area.bottom() - area.height() * i / 4;
        painter.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
    }
    painter.setPen(Qt::black);
    for (int i = 0; i <= 4; ++i) {
        double y = area.bottom() - area.height() * i / 4;
        QString label = ValueAxisLabels()[i];
        painter.drawText(QRectF(0, y - metrics.height() / 2.0, area.left() - 5, metrics.height()),
                         Qt::AlignRight | Qt::AlignVCenter, label);
    }
    // Time axis: hh:mm (hh:mm:ss for spans up to five minutes), spaced to fit.
    const bool seconds = FTo - FFrom <= 300;
    const QString format = seconds ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm");
    const int labelWidth =
        metrics.horizontalAdvance(seconds ? QStringLiteral("00:00:00") : QStringLiteral("00:00"));
    int ticks = std::max(1, std::min(6, int(area.width() / (labelWidth * 1.6))));
    for (int i = 0; i <= ticks; ++i) {
        qint64 t = FFrom + (FTo - FFrom) * i / ticks;
        double x = area.left() + area.width() * i / ticks;
        painter.setPen(QColor(0xD0, 0xD0, 0xD0));
        painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
        painter.setPen(Qt::black);
        painter.drawText(QRectF(x - labelWidth, area.bottom() + 4, labelWidth * 2, metrics.height()),
                         Qt::AlignHCenter | Qt::AlignTop, ChartWallTime(t).toString(format));
    }
    painter.drawRect(area);

    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setClipRect(area.adjusted(-1, -1, 1, 1));
    for (const TSeries& series : FSeries) {
        if (series.Points.empty())
            continue;
        painter.setPen(QPen(series.Color, 2));
        QPainterPath path;
        bool first = true;
        for (const TChartPoint& point : series.Points) {
            QPointF p = PointPosition(point.WallSeconds, point.Value);
            if (first)
                path.moveTo(p);
            else
                path.lineTo(p);
            first = false;
        }
        if (series.Points.size() == 1)
            painter.drawPoint(path.currentPosition());
        painter.drawPath(path);
    }
}
