// The step editor on a full song: one key press as the view hands it over, with the host's
// full repaint standing in as the start-tick pass every paint makes.
#include "editor/stepeditor.h"
#include "settings/envsettings.h"
#include "song/musictime.h"

#include <benchmark/benchmark.h>

#include <algorithm>

namespace {

class BenchHost : public IStepEditorHost {
public:
    BenchHost() {
        settings.SetDefaults();
        song.count = kMaxEvents;
        static const uint8_t codes[] = {0xC4, 0xC6, 0xC2, 0xC9, 0xC5, 0xC3};
        for (int i = 0; i < song.count; ++i)
            song.events[size_t(i)] = {0, codes[i % 6], uint8_t(24 + i % 60)};
    }
    int Press(int virtualKey) { return editor.DispatchEditKey(virtualKey); }
    void Place(int row, int column) {
        editor.SetCursorRow(row);
        editor.SetColumn(column);
    }

    Song song;
    EnvSettings settings{};
    CStepEditor editor{*this};
    int held = 0;

protected:
    Song& EditorSong() override { return song; }
    const EnvSettings& EditorSettings() const override { return settings; }
    void MoveCursorTo(int row) override { editor.SetCursorRow(std::clamp(row, 0, song.count)); }
    void InvalidateRow(int, bool) override {}
    void RedrawAll() override { ComputeStartTicks(song); }
    void OnRowCountChanged() override {}
    int GetPageSize() const override { return 40; }
    bool IsKeyHeld(int virtualKey) const override { return virtualKey == held; }
    void OnEventEdited(const EventEdit&) override {}
};

void BM_EditorValueStepOnPitch(benchmark::State& state) {
    BenchHost host;
    host.Place(500, 1);
    bool up = true;
    for (auto _ : state) {
        benchmark::DoNotOptimize(host.Press(up ? vk::Prior : vk::Next));
        up = !up;
    }
}
BENCHMARK(BM_EditorValueStepOnPitch);

void BM_EditorInsertAndDeleteAtTop(benchmark::State& state) {
    BenchHost host;
    host.song.count = kMaxEvents - 1; // room for one more
    host.Place(0, 0);
    for (auto _ : state) {
        host.Press(vk::Insert);
        host.Press(vk::Delete);
        benchmark::DoNotOptimize(host.song.count);
    }
}
BENCHMARK(BM_EditorInsertAndDeleteAtTop);

void BM_EditorNoteNameTypedAndConfirmed(benchmark::State& state) {
    BenchHost host;
    host.Place(500, 2);
    for (auto _ : state) {
        for (const char c : {'C', '#', '4'})
            host.editor.OnChar(static_cast<unsigned char>(c));
        benchmark::DoNotOptimize(host.Press(vk::Return));
    }
}
BENCHMARK(BM_EditorNoteNameTypedAndConfirmed);

void BM_EditorBarMovesThroughFullSong(benchmark::State& state) {
    BenchHost host;
    host.held = vk::Shift;
    for (auto _ : state) {
        host.Place(kMaxEvents / 2, 0);
        host.Press(vk::Right); // SHIFT+Right: next bar
        host.Press(vk::Left);  // SHIFT+Left: previous bar
        benchmark::DoNotOptimize(host.editor.Cursor());
    }
}
BENCHMARK(BM_EditorBarMovesThroughFullSong);

} // namespace
