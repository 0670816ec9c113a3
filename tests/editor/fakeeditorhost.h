// A stand-in for the view: owns the song, the settings and the editor, records what the
// editor asks of the window, and clamps cursor moves the way the view does.
#pragma once

#include "editor/stepeditor.h"
#include "settings/envsettings.h"
#include "song/song.h"

#include <algorithm>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

enum Modifiers { kNone = 0, kShift = 1, kCtrl = 2, kAlt = 4 };

class FakeEditorHost : public IStepEditorHost {
public:
    FakeEditorHost() { settings.SetDefaults(); }

    Song song;
    EnvSettings settings{};
    CStepEditor editor{*this};
    int pageSize = 20;
    int modifiers = kNone;

    std::vector<int> moves;                        // rows asked of MoveCursorTo
    std::vector<std::pair<int, bool>> invalidated; // InvalidateRow calls
    int scrollRangeUpdates = 0;                    // OnRowCountChanged calls
    int redraws = 0;
    int modifiedMarks = 0;

    /// A key press with the given modifiers held; returns the dispatcher's result.
    int Press(int virtualKey, int held = kNone) {
        modifiers = held;
        const int result = editor.DispatchEditKey(virtualKey);
        modifiers = kNone;
        return result;
    }
    /// Feeds each character to OnChar; returns how many were taken.
    int Type(const char* text) {
        int taken = 0;
        for (const char* c = text; *c != '\0'; ++c)
            taken += editor.OnChar(static_cast<unsigned char>(*c));
        return taken;
    }
    void SetEvents(std::initializer_list<std::pair<int, int>> events) {
        song.count = 0;
        for (const auto& [code, pitch] : events) {
            song.events[size_t(song.count)].code = uint8_t(code);
            song.events[size_t(song.count)].pitch = uint8_t(pitch);
            ++song.count;
        }
    }
    void Fill(int count, int code = 0xC4, int pitch = 51) {
        song.count = count;
        for (int i = 0; i < count; ++i)
            song.events[size_t(i)] = {0, uint8_t(code), uint8_t(pitch + i % 12)};
    }
    int OnChar(unsigned int character) { return editor.OnChar(character); }
    void EnterRecordedPitch(int pitch) { editor.EnterRecordedPitch(pitch); }
    int SetCellValue(bool absolute, int value, int column) {
        return editor.SetCellValue(absolute, value, column);
    }
    /// Puts the cursor somewhere without the checks of a move.
    void Place(int row, int column) {
        editor.SetCursorRow(row);
        editor.SetColumn(column);
    }
    int Row() const { return editor.Cursor().row; }
    int Column() const { return editor.Cursor().column; }
    void UsePianoInput(bool on) {
        settings.flags = on ? settings.flags | EnvSettings::kFlagPianoInput
                            : settings.flags & ~EnvSettings::kFlagPianoInput;
    }
    void SetTimeSignature(int beats, int beatUnitIndex) {
        settings.beatsPerBar = uint8_t(beats);
        settings.flags = (settings.flags & ~EnvSettings::kBeatUnitMask) |
                         (uint32_t(beatUnitIndex) << EnvSettings::kBeatUnitShift);
    }
    const SongEvent& At(int row) const { return song.events[size_t(row)]; }
    std::string Pending() const { return std::string(editor.PendingInput()); }

protected:
    Song& EditorSong() override { return song; }
    const EnvSettings& EditorSettings() const override { return settings; }
    void MoveCursorTo(int row) override {
        moves.push_back(row);
        editor.SetCursorRow(std::clamp(row, 0, song.count));
    }
    void InvalidateRow(int row, bool withPanel) override {
        invalidated.emplace_back(row, withPanel);
    }
    void OnRowCountChanged() override { ++scrollRangeUpdates; }
    void RedrawAll() override { ++redraws; }
    int GetPageSize() const override { return pageSize; }
    bool IsKeyHeld(int virtualKey) const override {
        switch (virtualKey) {
        case vk::Shift:
            return (modifiers & kShift) != 0;
        case vk::Control:
            return (modifiers & kCtrl) != 0;
        case vk::Menu:
            return (modifiers & kAlt) != 0;
        default:
            return false;
        }
    }
    void OnEventEdited(const EventEdit& /*edit*/) override { ++modifiedMarks; }
};
