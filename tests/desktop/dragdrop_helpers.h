// Helpers of the drag-and-drop tests: reading a data object's bytes and formats, a drop target
// that records its calls, and the ids of the named formats.
#pragma once

#include "desktop/DataTransfer.h"
#include "desktop/DragDrop.h"

#include <QByteArray>
#include <QPoint>
#include <QString>

#include <functional>
#include <string>
#include <vector>

namespace ddtest {

TFormatEtc Format(TClipFormat Id, uint32_t Tymed = TYMED_HGLOBAL);
// The bytes GetData hands out for a format in the given media, and the result code.
QByteArray Bytes(IDataObject& Object, TClipFormat Id, uint32_t Tymed = TYMED_HGLOBAL,
                 HRESULT* Result = nullptr);
// The ids EnumFormatEtc lists, in order.
std::vector<TClipFormat> Enumerated(IDataObject& Object, uint32_t Direction = DATADIR_GET);
TClipFormat Named(const char* Name);
// A global block holding Bytes.
TStgMedium Global(const QByteArray& Bytes);
QByteArray Le32(uint32_t Value);

// A target that answers every enter and move with Answer and records what it was called with.
class TRecordingTarget : public IDropTarget {
public:
    uint32_t Answer = DROPEFFECT_COPY;
    std::vector<std::string> Calls;
    std::vector<uint32_t> KeyStates;
    QPoint LastPoint;
    // Runs inside Drop with the data object, as a target that writes feedback back would.
    std::function<void(IDataObject*)> OnDropData;

    HRESULT DragEnter(IDataObject* DataObject, uint32_t KeyState, QPoint ScreenPoint,
                      uint32_t* Effect) override;
    HRESULT DragOver(uint32_t KeyState, QPoint ScreenPoint, uint32_t* Effect) override;
    HRESULT DragLeave() override;
    HRESULT Drop(IDataObject* DataObject, uint32_t KeyState, QPoint ScreenPoint, uint32_t* Effect) override;
};

} // namespace ddtest
