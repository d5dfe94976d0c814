// Helpers of the drag-and-drop tests.
#include "dragdrop_helpers.h"

namespace ddtest {

TFormatEtc Format(TClipFormat Id, uint32_t Tymed) {
    return TFormatEtc{Id, nullptr, DVASPECT_CONTENT, -1, Tymed};
}

QByteArray Bytes(IDataObject& Object, TClipFormat Id, uint32_t Tymed, HRESULT* Result) {
    TStgMedium medium;
    const HRESULT result = Object.GetData(Format(Id, Tymed), medium);
    if (Result)
        *Result = result;
    return Succeeded(result) ? MediumBytes(medium) : QByteArray();
}

std::vector<TClipFormat> Enumerated(IDataObject& Object, uint32_t Direction) {
    std::vector<TClipFormat> ids;
    for (const TFormatEtc& format : EnumeratedFormats(Object, Direction))
        ids.push_back(format.cfFormat);
    return ids;
}

TStgMedium Global(const QByteArray& Bytes) {
    TStgMedium medium;
    medium.tymed = TYMED_HGLOBAL;
    medium.hGlobal = std::make_shared<TGlobalMemory>(TGlobalMemory{Bytes});
    return medium;
}

TClipFormat Named(const char* Name) {
    return RegisterClipboardFormat(QString::fromLatin1(Name));
}

QByteArray Le32(uint32_t Value) {
    QByteArray bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = char((Value >> (8 * i)) & 0xFF);
    return bytes;
}

HRESULT TRecordingTarget::DragEnter(IDataObject*, uint32_t KeyState, QPoint ScreenPoint, uint32_t* Effect) {
    Calls.push_back("enter");
    KeyStates.push_back(KeyState);
    LastPoint = ScreenPoint;
    *Effect = Answer;
    return S_OK;
}

HRESULT TRecordingTarget::DragOver(uint32_t KeyState, QPoint ScreenPoint, uint32_t* Effect) {
    Calls.push_back("over");
    KeyStates.push_back(KeyState);
    LastPoint = ScreenPoint;
    *Effect = Answer;
    return S_OK;
}

HRESULT TRecordingTarget::DragLeave() {
    Calls.push_back("leave");
    return S_OK;
}

HRESULT TRecordingTarget::Drop(IDataObject* DataObject, uint32_t KeyState, QPoint ScreenPoint,
                               uint32_t* Effect) {
    Calls.push_back("drop");
    if (OnDropData)
        OnDropData(DataObject);
    KeyStates.push_back(KeyState);
    LastPoint = ScreenPoint;
    *Effect = Answer;
    return S_OK;
}

} // namespace ddtest
