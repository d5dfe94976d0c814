// The real-time chart's sampling thread, owned by the monitor's services: one sample at a time, each
// with its own cancel signal, so the chart page only starts ticks and stops the sampler.
#pragma once

#include "core/ToolCharts.h"

#include <functional>
#include <memory>
#include <thread>

class QObject;
class TNetCancel;
class TSQLiteDatabase;

class TRealtimeSampler {
public:
    TRealtimeSampler() = default;
    // Stop().
    ~TRealtimeSampler();
    TRealtimeSampler(const TRealtimeSampler&) = delete;
    TRealtimeSampler& operator=(const TRealtimeSampler&) = delete;

    // GUI thread: samples Target into Database on the sampler's thread, asking the agent on Port
    // (GET, 5000 ms). The last sample's thread is joined first. Done is queued to Context's thread
    // once the sample ended, stored or not. Context stops the sampler before it goes.
    void Start(TSQLiteDatabase& Database, const TRealtimeTarget& Target, const QString& Port,
               std::function<qint64()> Now, QObject* Context, std::function<void()> Done);
    // Ends a sample under way at once (its network wait returns) and joins its thread.
    void Stop();
    // Joins a thread whose sample has ended.
    void Join();

private:
    std::thread FThread;
    std::shared_ptr<TNetCancel> FCancel;
};
