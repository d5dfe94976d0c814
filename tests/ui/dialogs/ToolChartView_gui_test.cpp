// The chart view paints both series in their colours with uncut axis labels.
#include "ui/dialogs/ToolChartView.h"

#include <QImage>
#include <gtest/gtest.h>

namespace {

TEST(ToolChartView, PaintsSeriesColours) {
    TToolChartView view;
    view.resize(600, 300);
    std::vector<TChartPoint> out, in;
    for (int k = 0; k < 60; ++k) {
        out.push_back({k * 60, 8});
        in.push_back({k * 60, 2});
    }
    view.SetTimeRange(0, 3600);
    view.SetValueUnit(QStringLiteral("KBit/s"));
    view.SetSeries(0, out, QColor(0x00, 0x80, 0x00));
    view.SetSeries(1, in, QColor(0x00, 0x00, 0xFF));
    view.SetAxisMaximum(8);
    QImage image = view.grab().toImage();
    image.save(QStringLiteral("/tmp/h28-chart.png"));
    int green = 0, blue = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            QRgb p = image.pixel(x, y);
            green += p == qRgb(0, 128, 0);
            blue += p == qRgb(0, 0, 255);
        }
    EXPECT_GT(green, 100);
    EXPECT_GT(blue, 100);
    EXPECT_EQ(view.PointPosition(3540, 8).y(), view.PointPosition(0, 8).y());
}

TEST(ToolChartView, ValueLabelsNameTheirGridLines) {
    TToolChartView view;
    view.SetAxisMaximum(1);
    EXPECT_EQ(view.ValueAxisLabels().join(u'|'), "0|0.25|0.5|0.75|1");
}

} // namespace
