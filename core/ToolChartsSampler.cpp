// The real-time sampler's thread; see ToolChartsSampler.h.
#include "core/ToolChartsSampler.h"

#include "core/ExceptionGuard.h"
#include "core/Synchronize.h"
#include "net/SnmpQuery.h"
#include "net/blcksock.h"

#include <QObject>

TRealtimeSampler::~TRealtimeSampler() {
    Stop();
}

void TRealtimeSampler::Start(TSQLiteDatabase& Database, const TRealtimeTarget& Target, const QString& Port,
                             std::function<qint64()> Now, QObject* Context, std::function<void()> Done) {
    Join();
    FCancel = std::make_shared<TNetCancel>();
    FThread = std::thread(
        [&Database, Target, Port, now = std::move(Now), Context, done = std::move(Done), cancel = FCancel] {
            TRealtimeQuery query = [&](const QString& Address, const QString& Community, const QString& Oid) {
                std::string value;
                if (!cancel->Raised())
                    SnmpQuery(Address.toStdString(), Community.toStdString(), Oid.toStdString(), 160, value,
                              Port.toStdString(), 5000, cancel);
                return QString::fromStdString(value);
            };
            if (!cancel->Raised())
                Guarded("Realtime sample", [&] { RealtimeSample(Database, Target, query, now()); });
            PostToGui(Context, "RealtimeDone", done);
        });
}

void TRealtimeSampler::Stop() {
    if (FCancel)
        FCancel->Raise();
    Join();
}

void TRealtimeSampler::Join() {
    if (FThread.joinable())
        FThread.join();
}
