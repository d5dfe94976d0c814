// The drag-and-drop core: format names and the name registry, the drop-effect rules, the
// conversion map's merge and placement, the base clipboard and data formats, the unit's
// lifetime, and the drag detector on scripted input.
#include "desktop/DragDrop.h"
#include "desktop/DragDropText.h"
#include "desktop/ScriptedDragDrop.h"

#include "dragdrop_helpers.h"

#include <QWidget>
#include <QtGlobal>

#include <gtest/gtest.h>

using namespace ddtest;

namespace {

const TDataFormatClassInfo DataA{"DataA", &TCustomDataFormat::ClassInfo, nullptr};
const TDataFormatClassInfo DataAChild{"DataAChild", &DataA, nullptr};
const TDataFormatClassInfo DataB{"DataB", &TCustomDataFormat::ClassInfo, nullptr};
const TClipboardFormatClassInfo Clip1{"Clip1", &TClipboardFormat::ClassInfo, nullptr, ddRead};
const TClipboardFormatClassInfo Clip1Child{"Clip1Child", &Clip1, nullptr, ddRead};
const TClipboardFormatClassInfo Clip2{"Clip2", &TClipboardFormat::ClassInfo, nullptr, ddRead};
const TClipboardFormatClassInfo Clip3{"Clip3", &TClipboardFormat::ClassInfo, nullptr, ddRead};
const TClipboardFormatClassInfo Clip9{"Clip9", &TClipboardFormat::ClassInfo, nullptr, ddRead};

std::vector<std::string> Order(const TDataFormatMap& Map) {
    std::vector<std::string> names;
    for (const TConversionEntry& entry : Map.Entries())
        names.push_back(entry.ClipboardFormat->ClassName);
    return names;
}

std::vector<TClipFormat> Ids(TClipboardFormats& Formats) {
    std::vector<TClipFormat> ids;
    for (const auto& format : Formats)
        ids.push_back(format->ClipboardFormat());
    return ids;
}

// A clipboard format of the base class alone.
class TBareFormat : public TClipboardFormat {
public:
    using TClipboardFormat::TClipboardFormat;
    void Clear() override {}
};

} // namespace

TEST(DragDropNames, StandardIdsHaveTheirNames) {
    EXPECT_EQ(GetClipboardFormatNameStr(1), "CF_TEXT");
    EXPECT_EQ(GetClipboardFormatNameStr(7), "CF_OEMTEXT");
    EXPECT_EQ(GetClipboardFormatNameStr(13), "CF_UNICODETEXT");
    EXPECT_EQ(GetClipboardFormatNameStr(15), "CF_HDROP");
    EXPECT_EQ(GetClipboardFormatNameStr(16), "CF_LOCALE");
    EXPECT_EQ(GetClipboardFormatNameStr(17), "CF_DIBV5");
    EXPECT_EQ(GetClipboardFormatNameStr(18), "CF_MAX_XP");
    EXPECT_EQ(GetClipboardFormatNameStr(128), "CF_OWNERDISPLAY");
    EXPECT_EQ(GetClipboardFormatNameStr(129), "CF_DSPTEXT");
    EXPECT_EQ(GetClipboardFormatNameStr(130), "CF_DSPBITMAP");
    EXPECT_EQ(GetClipboardFormatNameStr(131), "CF_DSPMETAFILEPICT");
    EXPECT_EQ(GetClipboardFormatNameStr(142), "CF_DSPENHMETAFILE");
    EXPECT_EQ(GetClipboardFormatNameStr(0), "");
    EXPECT_EQ(GetClipboardFormatNameStr(19), "");
    EXPECT_EQ(GetClipboardFormatNameStr(132), "");
    EXPECT_EQ(GetClipboardFormatNameStr(0xFFF0), "");
}

TEST(DragDropNames, TheRegistryGivesOneIdPerNameForTheProcess) {
    const TClipFormat id = RegisterClipboardFormat("Registry Test Name");
    EXPECT_GE(id, FirstRegisteredFormat);
    EXPECT_EQ(RegisterClipboardFormat("REGISTRY test name"), id);
    EXPECT_EQ(GetClipboardFormatNameStr(id), "Registry Test Name");
    EXPECT_NE(RegisterClipboardFormat("Registry Test Name 2"), id);
    EXPECT_EQ(RegisterClipboardFormat(""), 0);
    const QString longName = QString(300, u'n');
    const TClipFormat longId = RegisterClipboardFormat(longName);
    EXPECT_EQ(GetClipboardFormatNameStr(longId), QString(255, u'n'));
    EXPECT_EQ(GetClipboardFormatName(longId, 10), QString(10, u'n'));
}

TEST(DragDropEffects, TypesEffectsAndResults) {
    EXPECT_EQ(DragTypesToDropEffect({}), 0u);
    EXPECT_EQ(DragTypesToDropEffect({dtCopy}), 1u);
    EXPECT_EQ(DragTypesToDropEffect({dtMove}), 2u);
    EXPECT_EQ(DragTypesToDropEffect({dtCopy, dtLink}), 5u);
    EXPECT_EQ(DragTypesToDropEffect({dtCopy, dtMove, dtLink}), 7u);
    TDragType type = dtLink;
    EXPECT_TRUE(DropEffectToDragType(7, type));
    EXPECT_EQ(type, dtCopy);
    EXPECT_TRUE(DropEffectToDragType(6, type));
    EXPECT_EQ(type, dtMove);
    EXPECT_TRUE(DropEffectToDragType(4, type));
    EXPECT_EQ(type, dtLink);
    type = dtLink;
    EXPECT_FALSE(DropEffectToDragType(DROPEFFECT_SCROLL, type));
    EXPECT_EQ(type, dtCopy);
    EXPECT_EQ(DropEffectToDragResult(0), drCancel);
    EXPECT_EQ(DropEffectToDragResult(1), drDropCopy);
    EXPECT_EQ(DropEffectToDragResult(2), drDropMove);
    EXPECT_EQ(DropEffectToDragResult(4), drDropLink);
    EXPECT_EQ(DropEffectToDragResult(3), drUnknown);
    EXPECT_EQ(DropEffectToDragResult(DROPEFFECT_SCROLL | 1), drUnknown);
}

TEST(DragDropEffects, KeysAndShiftStates) {
    EXPECT_EQ(KeysToShiftState(0), 0);
    EXPECT_EQ(KeysToShiftState(MK_SHIFT), DragShift::Shift);
    EXPECT_EQ(KeysToShiftState(MK_CONTROL | MK_LBUTTON), DragShift::Ctrl | DragShift::Left);
    EXPECT_EQ(KeysToShiftState(MK_RBUTTON | MK_MBUTTON | MK_ALT),
              DragShift::Right | DragShift::Middle | DragShift::Alt);
    // The key bits are the grid's ssShift 1, ssAlt 2, ssCtrl 4.
    EXPECT_EQ(DragShift::Shift, 1);
    EXPECT_EQ(DragShift::Alt, 2);
    EXPECT_EQ(DragShift::Ctrl, 4);

    const TShiftState none = 0, ctrl = DragShift::Ctrl, both = DragShift::Ctrl | DragShift::Shift,
                      shift = DragShift::Shift;
    EXPECT_EQ(ShiftStateToDropEffect(none, 7, false), DROPEFFECT_MOVE);
    EXPECT_EQ(ShiftStateToDropEffect(ctrl, 7, false), DROPEFFECT_COPY);
    EXPECT_EQ(ShiftStateToDropEffect(both, 7, false), DROPEFFECT_LINK);
    EXPECT_EQ(ShiftStateToDropEffect(shift, 7, false), DROPEFFECT_MOVE);
    EXPECT_EQ(ShiftStateToDropEffect(none, DROPEFFECT_COPY, false), 0u);
    // A COPY-only source over a copy-or-link target: plain and Ctrl+Shift both fall back to COPY.
    const uint32_t allowed = DROPEFFECT_COPY & DragTypesToDropEffect({dtCopy, dtLink});
    EXPECT_EQ(ShiftStateToDropEffect(none, allowed, true), DROPEFFECT_COPY);
    EXPECT_EQ(ShiftStateToDropEffect(both, allowed, true), DROPEFFECT_COPY);
    EXPECT_EQ(ShiftStateToDropEffect(none, DROPEFFECT_LINK, true), DROPEFFECT_LINK);
    EXPECT_EQ(ShiftStateToDropEffect(none, 0, true), 0u);
}

TEST(DragDropMap, TheSamePairRegisteredTwiceIsOneEntryWithBothFlags) {
    TDataFormatMap map;
    map.Add(&DataA, &Clip1, 3, ddRead);
    map.Add(&DataA, &Clip1, 5, ddWrite);
    ASSERT_EQ(map.Entries().size(), 1u);
    EXPECT_EQ(map.Entries()[0].Directions, ddRead | ddWrite);
    EXPECT_EQ(map.Entries()[0].Priority, 5); // a write registration sets the priority
    map.Add(&DataA, &Clip1, 9, ddRead);
    EXPECT_EQ(map.Entries()[0].Priority, 5); // a read-only one leaves it
    // A registration for base classes merges into the entry of the derived ones.
    TDataFormatMap derived;
    derived.Add(&DataAChild, &Clip1Child, 0, ddRead);
    derived.Add(&DataA, &Clip1, 0, ddWrite);
    ASSERT_EQ(derived.Entries().size(), 1u);
    EXPECT_EQ(derived.Entries()[0].DataFormat, &DataAChild);
    EXPECT_EQ(derived.Entries()[0].ClipboardFormat, &Clip1Child);
    EXPECT_EQ(derived.Entries()[0].Directions, ddRead | ddWrite);
}

TEST(DragDropMap, EntriesRunFromLowToHighPriorityNewOnesFirstAmongEquals) {
    TDataFormatMap map;
    map.Add(&DataB, &Clip9, 0, ddRead | ddWrite);
    map.Add(&DataA, &Clip1, 5, ddRead | ddWrite);
    map.Add(&DataA, &Clip2, 0, ddRead | ddWrite);
    EXPECT_EQ(Order(map), (std::vector<std::string>{"Clip9", "Clip2", "Clip1"}));
    map.Add(&DataA, &Clip3, 9, ddRead | ddWrite);
    EXPECT_EQ(Order(map), (std::vector<std::string>{"Clip9", "Clip2", "Clip1", "Clip3"}));
    // An equal priority goes in front of the earlier ones, across entries of other classes.
    TDataFormatMap mixed;
    mixed.Add(&DataB, &Clip9, 0, ddRead | ddWrite);
    mixed.Add(&DataA, &Clip1, 0, ddRead | ddWrite);
    mixed.Add(&DataB, &Clip3, 0, ddRead | ddWrite);
    mixed.Add(&DataA, &Clip2, 0, ddRead | ddWrite);
    EXPECT_EQ(Order(mixed), (std::vector<std::string>{"Clip9", "Clip2", "Clip1", "Clip3"}));
}

TEST(DragDropMap, TheFirstEntryOfTheMapIsNeverPassed) {
    // With the class's only other entry first in the map, a new entry stays at the end.
    TDataFormatMap map;
    map.Add(&DataA, &Clip1, -1, ddRead | ddWrite);
    map.Add(&DataA, &Clip2, -1, ddRead | ddWrite);
    EXPECT_EQ(Order(map), (std::vector<std::string>{"Clip1", "Clip2"}));
    // Further back than the first entry, the walk may reach index 0.
    map.Add(&DataA, &Clip3, -1, ddRead | ddWrite);
    EXPECT_EQ(Order(map), (std::vector<std::string>{"Clip3", "Clip1", "Clip2"}));
}

TEST(DragDropMap, TextFormatsStandInTheirOrderForSourcesAndTargets) {
    TDropTextSource source;
    TDropTextTarget target;
    const std::vector<TClipFormat> expected{CF_OEMTEXT, CF_LOCALE, CF_TEXT, Named("Rich Text Format"),
                                            CF_UNICODETEXT};
    EXPECT_EQ(Ids(source.TextDataFormat().CompatibleFormats()), expected);
    EXPECT_EQ(Ids(target.TextDataFormat().CompatibleFormats()), expected);
    // CSV is a format of its own, not a conversion of the text.
    EXPECT_EQ(TCSVClipboardFormat().ClipboardFormat(), Named("CSV"));
    for (TClipFormat id : expected)
        EXPECT_NE(id, Named("CSV"));
}

TEST(DragDropMap, CompatibleFormatsFollowTheSide) {
    // Standalone data formats hold no unit of their own.
    TUnitReference text{DragDropTextUnitStart, DragDropTextUnitStop};
    TTextDataFormat standalone(csSource);
    EXPECT_EQ(standalone.CompatibleFormats().Count(), 5u);
    TFeedbackDataFormat feedbackSource(csSource);
    TFeedbackDataFormat feedbackTarget(csTarget);
    EXPECT_EQ(feedbackSource.CompatibleFormats().Count(), 6u);
    EXPECT_EQ(feedbackTarget.CompatibleFormats().Count(), 6u);
    // Without directions of its own, an entry serves the directions of its clipboard class.
    static const TDataFormatClassInfo probe{"DirectionProbe", &TCustomDataFormat::ClassInfo, nullptr};
    RegisterDataConversion(&probe, &TPerformedDropEffectClipboardFormat::ClassInfo, 0, 0);
    RegisterDataConversion(&probe, &TPreferredDropEffectClipboardFormat::ClassInfo, 0, 0);
    TClipboardFormats formats;
    GetCompatibleFormats(&probe, formats, csSource);
    EXPECT_EQ(Ids(formats), (std::vector<TClipFormat>{Named("Performed DropEffect")}));
    GetCompatibleFormats(&probe, formats, csTarget);
    EXPECT_EQ(Ids(formats), (std::vector<TClipFormat>{Named("Preferred DropEffect")}));
}

TEST(DragDropFormat, BaseFormatRecordAndRaisedTexts) {
    TBareFormat bare;
    TAnsiTextClipboardFormat text;
    const TFormatEtc& record = text.FormatEtc();
    EXPECT_EQ(record.cfFormat, CF_TEXT);
    EXPECT_EQ(record.ptd, nullptr);
    EXPECT_EQ(record.dwAspect, 1u);
    EXPECT_EQ(record.lindex, -1);
    EXPECT_EQ(record.tymed, TYMED_HGLOBAL | TYMED_ISTREAM);
    try {
        bare.ClipboardFormat();
        FAIL() << "no exception";
    } catch (const EDragDropError& e) {
        EXPECT_EQ(e.Message(), "Internal error: TClipboardFormat.GetClipboardFormat needs implementation");
    }
    try {
        TAnsiTextClipboardFormat().SetClipboardFormatName("x");
        FAIL() << "no exception";
    } catch (const EDragDropError& e) {
        EXPECT_EQ(e.Message(), "TAnsiTextClipboardFormat.ClipboardFormat is read-only");
    }
    EXPECT_EQ(TRichTextClipboardFormat().GetClipboardFormatName(), "Rich Text Format");
    EXPECT_EQ(TAnsiTextClipboardFormat().GetClipboardFormatName(), "");
    // A copy of a given record keeps its id.
    TBareFormat copy(Format(0xC123, TYMED_ISTREAM));
    EXPECT_EQ(copy.ClipboardFormat(), 0xC123);
    EXPECT_EQ(copy.FormatEtc().tymed, TYMED_ISTREAM);
}

TEST(DragDropFormat, AcceptFormatAndValidMedia) {
    TAnsiTextClipboardFormat text;
    EXPECT_TRUE(text.AcceptFormat(Format(CF_TEXT, TYMED_HGLOBAL)));
    EXPECT_TRUE(text.AcceptFormat(Format(CF_TEXT, TYMED_ANY)));
    EXPECT_FALSE(text.AcceptFormat(Format(CF_OEMTEXT, TYMED_HGLOBAL)));
    EXPECT_FALSE(text.AcceptFormat(Format(CF_TEXT, TYMED_ISTORAGE)));
    TFormatEtc device = Format(CF_TEXT);
    int someDevice = 0;
    device.ptd = &someDevice;
    EXPECT_FALSE(text.AcceptFormat(device));
    TFormatEtc thumbnail = Format(CF_TEXT);
    thumbnail.dwAspect = 2;
    EXPECT_FALSE(text.AcceptFormat(thumbnail));

    TStaticDataObject global;
    global.Put(CF_TEXT, "abc");
    EXPECT_EQ(text.GetValidTymeds(global), TYMED_HGLOBAL);
    EXPECT_TRUE(text.HasValidFormats(global));
    TStaticDataObject stream;
    stream.Put(CF_TEXT, "abc", TYMED_ISTREAM);
    EXPECT_EQ(text.GetValidTymeds(stream), TYMED_ISTREAM);
    ASSERT_TRUE(text.GetData(stream));
    EXPECT_EQ(text.Data(), "abc");
    TStaticDataObject none;
    EXPECT_EQ(text.GetValidTymeds(none), 0u);
    EXPECT_FALSE(text.HasValidFormats(none));
    EXPECT_FALSE(text.GetData(none));
    EXPECT_TRUE(text.Data().isEmpty()); // cleared before reading
}

TEST(DragDropFormat, ListsOwnersAndDataFormats) {
    TTextDataFormat format(csTarget);
    TClipboardFormats owning(&format, true);
    auto text = std::make_shared<TAnsiTextClipboardFormat>();
    owning.Add(text);
    EXPECT_EQ(text->DataFormat(), &format);
    EXPECT_EQ(owning.FindFormat(CF_TEXT), text.get());
    EXPECT_EQ(owning.FindFormat(CF_OEMTEXT), nullptr);
    TClipboardFormats referring;
    referring.Assign(owning);
    EXPECT_FALSE(referring.OwnsObjects());
    EXPECT_EQ(referring.Formats(0), text.get());
    owning.Clear();
    EXPECT_EQ(text->DataFormat(), nullptr);
    EXPECT_EQ(referring.Count(), 1u);

    // Without owner or side, a data format has no compatible formats to give.
    TTextDataFormat orphan(static_cast<TDragDropComponent*>(nullptr));
    EXPECT_THROW(orphan.CompatibleFormats(), EDragDropError);

    // A component keeps each format once and lets it go when destroyed.
    auto component = std::make_unique<TDragDropComponent>();
    TTextDataFormat owned(component.get());
    EXPECT_EQ(component->DataFormats().Add(&owned), 0u);
    EXPECT_EQ(component->DataFormats().Count(), 1u);
    component.reset();
    EXPECT_EQ(owned.Owner(), nullptr);
}

namespace {

QStringList DebugLines;
void CollectDebug(QtMsgType, const QMessageLogContext&, const QString& Text) {
    DebugLines.append(Text);
}

} // namespace

TEST(DragDropUnit, TheLastStopFreesTheMapAndAskingAgainRecreatesIt) {
    DragDropTextUnitStart();
    ASSERT_GE(DataFormatMap().Entries().size(), 11u);
    DragDropTextUnitStop();
    // No component of any test is alive here, so that was the last stop.
    DebugLines.clear();
    const QtMessageHandler old = qInstallMessageHandler(CollectDebug);
    RegisterDataConversion(&DataA, &Clip1, 0, ddRead); // ignored while stopping
    EXPECT_TRUE(DataFormatMap().Entries().empty());
    EXPECT_TRUE(DataFormatClasses().Classes().empty());
    qInstallMessageHandler(old);
    EXPECT_EQ(DebugLines, (QStringList{"DragDrop.TDataFormatMap recreated during shutdown",
                                       "DragDrop.TDataFormatClasses recreated during shutdown"}));
    // The next start registers everything again, in the same order.
    TDropTextSource source;
    EXPECT_EQ(Ids(source.TextDataFormat().CompatibleFormats()),
              (std::vector<TClipFormat>{CF_OEMTEXT, CF_LOCALE, CF_TEXT, Named("Rich Text Format"),
                                        CF_UNICODETEXT}));
    EXPECT_TRUE(DataFormatClasses().Contains(&TTextDataFormat::ClassInfo));
    EXPECT_TRUE(DataFormatClasses().Contains(&TFeedbackDataFormat::ClassInfo));
    EXPECT_TRUE(DataFormatClasses().Contains(&TDataStreamDataFormat::ClassInfo));
}

// ---- the drag detector -------------------------------------------------------------------

namespace {

class DetectDragStartTest : public ::testing::Test {
protected:
    void SetUp() override {
        window.setGeometry(300, 200, 200, 100);
        backend->SetTime(1000);
        backend->SetDragDistance(QSize(4, 4));
    }
    // Input at times relative to the press.
    void Input(std::vector<TScriptedInput> Events) {
        for (TScriptedInput& event : Events)
            event.Time += 1000;
        backend->SetInput(std::move(Events));
    }
    static TScriptedInput Move(uint32_t Time, QPoint Point) { return {TScriptedInput::siMove, Time, Point}; }
    static TScriptedInput Event(TScriptedInput::TKind Kind, uint32_t Time, int Key = 0) {
        return {Kind, Time, QPoint(), Key, Key};
    }

    TScopedScriptedBackend backend;
    QWidget window;
    const QPoint press{20, 20}; // a client point: the screen point (320, 220)
    const QPoint outside{330, 220};
};

} // namespace

TEST_F(DetectDragStartTest, AMoveOutBefore200MsStartsNothing) {
    Input({Move(150, outside), Event(TScriptedInput::siButtonUp, 180)});
    EXPECT_FALSE(DetectDragStart(&window, press));
    EXPECT_EQ(backend->PendingInput(), 1u); // the release is left for the window
    EXPECT_FALSE(backend->Captured());
}

TEST_F(DetectDragStartTest, AMoveOutAfter200MsDragsAtOnce) {
    Input({Move(250, outside), Event(TScriptedInput::siButtonUp, 260)});
    EXPECT_TRUE(DetectDragStart(&window, press));
    EXPECT_EQ(backend->TickCount(), 1250u);
    // A move out before 200 ms is only the start: the later one decides.
    Input({Move(150, outside), Move(210, outside)});
    backend->SetTime(1000);
    EXPECT_TRUE(DetectDragStart(&window, press));
    EXPECT_EQ(backend->TickCount(), 1210u);
}

TEST_F(DetectDragStartTest, Holding500MsDrags) {
    Input({});
    EXPECT_TRUE(DetectDragStart(&window, press));
    EXPECT_EQ(backend->TickCount(), 1500u);
    // Moves inside the rectangle do not count; the hold runs from the last of them.
    Input({Move(300, QPoint(322, 221)), Event(TScriptedInput::siButtonUp, 900)});
    backend->SetTime(1000);
    EXPECT_TRUE(DetectDragStart(&window, press));
    EXPECT_EQ(backend->TickCount(), 1800u);
}

TEST_F(DetectDragStartTest, EscSecondButtonReleaseCancelAndCaptureLossGiveFalse) {
    const TScriptedInput::TKind stops[] = {TScriptedInput::siButtonDown, TScriptedInput::siButtonUp,
                                           TScriptedInput::siCancelMode, TScriptedInput::siCaptureLost};
    for (TScriptedInput::TKind kind : stops) {
        backend->SetTime(1000);
        Input({Event(kind, 100), Move(250, outside)});
        EXPECT_FALSE(DetectDragStart(&window, press)) << int(kind);
    }
    backend->SetTime(1000);
    Input({Event(TScriptedInput::siKeyDown, 100, VK_ESCAPE), Move(250, outside)});
    EXPECT_FALSE(DetectDragStart(&window, press));
    // Other keys are swallowed.
    backend->SetTime(1000);
    Input({Event(TScriptedInput::siKeyDown, 100, 'A'), Move(250, outside)});
    EXPECT_TRUE(DetectDragStart(&window, press));
    // Without a button down there is nothing to watch.
    backend->SetButtonsDown(false);
    backend->SetTime(1000);
    Input({Move(250, outside)});
    EXPECT_FALSE(DetectDragStart(&window, press));
    EXPECT_EQ(backend->PendingInput(), 1u);
}

TEST_F(DetectDragStartTest, AQuitRequestIsPostedAgain) {
    Input({Event(TScriptedInput::siQuit, 100, 7), Move(250, outside)});
    EXPECT_FALSE(DetectDragStart(&window, press));
    EXPECT_EQ(backend->RepostedQuits(), std::vector<int>{7});
}

TEST_F(DetectDragStartTest, ScreenRectangleIsTestedBeforeTheClientRectangle) {
    // (20, 20) lies outside the window's screen rectangle: a client point, (320, 220) on the
    // screen; (322, 220) is still inside the drag rectangle around it.
    Input({Move(250, QPoint(322, 220)), Event(TScriptedInput::siButtonUp, 300)});
    EXPECT_FALSE(DetectDragStart(&window, press));
    // A window at the top-left of the screen takes (10, 10) as a screen point: (12, 14) is
    // outside its drag rectangle, though inside the one around the client point (15, 15).
    window.setGeometry(5, 5, 200, 100);
    backend->SetTime(1000);
    Input({Move(250, QPoint(12, 14)), Event(TScriptedInput::siButtonUp, 300)});
    EXPECT_TRUE(DetectDragStart(&window, QPoint(10, 10)));
}
