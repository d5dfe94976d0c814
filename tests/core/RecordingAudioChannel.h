// A shared audio channel for tests: records every call, and plays "forever" until stopped or
// replaced. A file is playable unless its name says "missing"; without Device nothing is.
#pragma once

#include "core/SoundQueue.h"

#include <QStringList>

class TRecordingAudioChannel : public IAudioChannel {
public:
    bool CreateStream(const QString& FileName) override {
        Calls << "create " + FileName;
        Playing = false;
        Valid = Device && !FileName.isEmpty() && !FileName.contains(QStringLiteral("missing"));
        return Valid;
    }
    void SetLoop(bool Loop) override { Calls << (Loop ? "loop on" : "loop off"); }
    bool Play() override {
        Calls << "play";
        Playing = Valid;
        return Valid;
    }
    void Stop() override {
        Calls << "stop";
        Playing = false;
    }
    bool IsPlaying() const override { return Playing; }

    QStringList Calls;
    bool Playing = false;
    bool Valid = false;
    bool Device = true;
};
