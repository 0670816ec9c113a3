#include "fakemidiservice.h"
#include "midi/mididevicelist.h"
#include "midi/midinames.h"
#include "text/cp932.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(MidiDeviceList, DevicesComeInIdOrder) {
    CFakeMidiService service;
    service.outputs = {{"Synth A"}, {"Port B"}};
    CMidiDeviceList list;
    ASSERT_EQ(list.GetOutputCount(), 2);
    EXPECT_EQ(list.GetOutput(0).deviceId, 0);
    EXPECT_EQ(list.GetOutput(1).deviceId, 1);
    EXPECT_STREQ(list.GetOutput(1).caps.szPname, "Port B");
    EXPECT_EQ(list.GetInputCount(), 0);
}

TEST(MidiDeviceList, UnreadableDeviceIsLeftOutAndPositionsStayDense) {
    CFakeMidiService service;
    service.inputs = {{"Broken", false}, {"Keys"}, {"Pads"}};
    service.outputs = {{"Out 0"}, {"Out 1", false}, {"Out 2"}};
    CMidiDeviceList list;
    ASSERT_EQ(list.GetInputCount(), 2);
    EXPECT_EQ(list.GetInput(0).deviceId, 1);
    EXPECT_STREQ(list.GetInput(0).caps.szPname, "Keys");
    EXPECT_EQ(list.GetInput(1).deviceId, 2);
    ASSERT_EQ(list.GetOutputCount(), 2);
    EXPECT_EQ(list.GetOutput(1).deviceId, 2);
    EXPECT_EQ(list.FindByName("Out 2", false), 1);
    EXPECT_EQ(list.FindByName("Broken", true), -1);
}

TEST(MidiDeviceList, FindByNameIsExactAndTheFirstOfEqualNamesWins) {
    CFakeMidiService service;
    service.inputs = {{"Keys"}, {"Twin"}, {"Twin"}};
    service.outputs = {{"Twin"}};
    CMidiDeviceList list;
    EXPECT_EQ(list.FindByName("Twin", true), 1);
    EXPECT_EQ(list.FindByName("Twin", false), 0);
    EXPECT_EQ(list.FindByName("twin", true), -1);
    EXPECT_EQ(list.FindByName("Keys", false), -1); // inputs and outputs are separate lists
    EXPECT_EQ(list.FindByName("", true), -1);
    EXPECT_EQ(list.FindByName("", false), -1);
    EXPECT_EQ(list.FindByName(nullptr, true), -1);
}

TEST(MidiDeviceList, RefreshFollowsTheServiceAndTwiceGivesTheSameLists) {
    CFakeMidiService service;
    service.outputs = {{"One"}};
    CMidiDeviceList list;
    service.outputs.push_back({"Two"});
    list.Refresh();
    list.Refresh();
    ASSERT_EQ(list.GetOutputCount(), 2);
    EXPECT_STREQ(list.GetOutput(1).caps.szPname, "Two");
    EXPECT_EQ(service.rescans, 3);
    service.outputs.clear();
    list.Refresh();
    EXPECT_EQ(list.GetOutputCount(), 0);
    EXPECT_EQ(list.FindByName("One", false), -1);
}

TEST(MidiDeviceNames, VolatileClientNumbersAreStripped) {
    EXPECT_EQ(StripVolatileNumbers("Midi Through:Midi Through Port-0 14:0"),
              "Midi Through:Midi Through Port-0");
    EXPECT_EQ(StripVolatileNumbers("a2j:Midi Through [14] (capture): Port-0"),
              "a2j:Midi Through (capture): Port-0");
    EXPECT_EQ(StripVolatileNumbers("midi-monitor:input"), "midi-monitor:input");
}

TEST(MidiDeviceNames, PortNamesBecomeCp932WithOneFixedCharacterForWhatItLacks) {
    EXPECT_EQ(ToDeviceName("midi-monitor:input"), "midi-monitor:input");
    const QString japanese = QStringLiteral("ピアノ入力:out");
    EXPECT_EQ(ToDeviceName(japanese.toStdString()), EncodeCp932(japanese).value());
    EXPECT_EQ(DecodeCp932(ToDeviceName(japanese.toStdString())), japanese);
    // An emoji (two UTF-16 units) and a Latin letter cp932 lacks: one '?' each, every time.
    EXPECT_EQ(ToDeviceName("\U0001F3B9キー Café"),
              "?" + EncodeCp932(QStringLiteral("キー")).value() + " Caf?");
}

TEST(MidiDeviceNames, NamesAreCutTo31BytesOnCp932CharactersAndMadeUnique) {
    const std::string key = EncodeCp932(QStringLiteral("鍵")).value(); // 8C AE
    const std::string a = EncodeCp932(QStringLiteral("ア")).value();   // 83 41: the trail is 'A'
    std::string kanji16;
    for (int i = 0; i < 16; ++i)
        kanji16 += key;
    std::vector<std::string> names = {"A very long client name:and its port name",
                                      "Same",
                                      "Same",
                                      "A very long client name:and its port name 2",
                                      std::string(30, 'x') + key,
                                      std::string(30, 'y') + a,
                                      kanji16,
                                      kanji16 + "x"};
    MakeNamesUnique(names);
    for (const auto& name : names)
        EXPECT_LE(name.size(), kMaxDeviceNameBytes) << name;
    EXPECT_EQ(names[0], "A very long client name:and its");
    EXPECT_EQ(names[1], "Same");
    EXPECT_EQ(names[2], "Same (2)");
    EXPECT_EQ(names[3], "A very long client name:and (2)");
    // The 2-byte character at the limit is left out whole.
    EXPECT_EQ(names[4], std::string(30, 'x'));
    EXPECT_EQ(names[5], std::string(30, 'y'));
    EXPECT_EQ(names[6], kanji16.substr(0, 30));
    EXPECT_EQ(names[7], kanji16.substr(0, 26) + " (2)");

    // Names as they were kept before: UTF-8, cut on UTF-8 characters.
    std::vector<std::string> old = {"Ä" + std::string(30, 'x'), "ピアノ入力ピアノ入力ピアノ入力"};
    MakeNamesUnique(old, NameEncoding::Utf8);
    EXPECT_EQ(old[0], "Ä" + std::string(29, 'x'));
    EXPECT_EQ(old[1], "ピアノ入力ピアノ入力");
}
