// What the host page hands the add/edit host dialog: the mode, the caption, the chosen group and
// the values of the host row being edited (or the defaults for a new one).
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <vector>

struct THostDialogPreset {
    enum class TMode { Add, Edit };
    TMode Mode = TMode::Add;
    QString Caption;
    // The group the host goes into: its path as the tree shows it ("Servers\Office") and its number.
    QString GroupPath;
    int GroupNumber = -1;
    QString DownSound;
    // The sound list: every file of Data/Sounds.
    QStringList SoundFiles;
    QString UpSound;
    // The row's field values by host-table column name; empty for a new host.
    QHash<QString, QString> Fields;
    // The edited row of the host table, and every selected shown row (several open the bulk dialog).
    int Row = -1;
    std::vector<int> SelectedRows;
};
