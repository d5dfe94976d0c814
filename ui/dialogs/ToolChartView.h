// A line chart painted by itself: series of (wall-clock time, value) points over a time axis and a
// value axis whose labels carry a unit ("0" + unit reads like 250KBit/s).
#pragma once

#include "core/ToolCharts.h"

#include <QColor>
#include <QStringList>
#include <QWidget>

#include <vector>

class TToolChartView : public QWidget {
public:
    explicit TToolChartView(QWidget* parent = nullptr);

    struct TSeries {
        std::vector<TChartPoint> Points;
        QColor Color;
    };

    void Clear();
    // Series Index (0, 1, ...), replacing what it held.
    void SetSeries(int Index, std::vector<TChartPoint> Points, const QColor& Color);
    // The time axis spans From .. To (stored wall-clock seconds).
    void SetTimeRange(qint64 From, qint64 To);
    // A fixed value-axis maximum; 0 turns the automatic maximum on.
    void SetAxisMaximum(double Maximum) {
        FAxisMax = Maximum;
        update();
    }
    double AxisMaximum() const;
    void SetValueUnit(const QString& Unit) {
        FUnit = Unit;
        update();
    }
    QString ValueUnit() const { return FUnit; }
    // The value axis's five labels from the bottom, one on each grid line.
    QStringList ValueAxisLabels() const;
    const std::vector<TSeries>& Series() const { return FSeries; }

    // Where a point is drawn in widget coordinates (tests).
    QPointF PointPosition(qint64 WallSeconds, double Value) const;
    // The local date-time the time axis shows at widget column X (its labels read the same).
    QDateTime AxisTimeAt(double X) const;

protected:
    void paintEvent(QPaintEvent* Event) override;

private:
    QRectF PlotArea() const;
    std::vector<TSeries> FSeries;
    qint64 FFrom = 0;
    qint64 FTo = 60;
    double FAxisMax = 0;
    QString FUnit;
};
