// The set-up the view benchmarks share: a score view showing a full song of 999 events in a
// 1280 x 800 client area, with the cursor in the middle.
#pragma once

#include "document/kesdoc.h"
#include "settings/envsettings.h"
#include "view/kesview.h"

#include <QCoreApplication>
#include <QScrollBar>

#include <memory>

class CFullSongView {
public:
    /// withRestsAndTies: some events are rests and ties, as in a real song; without them every
    /// event has a pitch (for benchmarks that step pitches).
    explicit CFullSongView(bool withRestsAndTies) {
        FillSong(m_doc.GetSong(), withRestsAndTies);
        m_doc.OnSongChanged();
        m_settings.SetDefaults();
        m_pView = std::make_unique<CKesView>(&m_doc, &m_settings);
        m_pView->resize(1280 + m_pView->verticalScrollBar()->sizeHint().width(), 800);
        m_pView->show();
        QCoreApplication::processEvents();
        m_pView->UpdateScrollRange(-1);
        m_pView->MoveCursorTo(500);
    }

    CKesView& View() { return *m_pView; }
    Song& GetSong() { return m_doc.GetSong(); }

private:
    static void FillSong(Song& song, bool withRestsAndTies) {
        const uint8_t codes[] = {0xC4, 0xC6, 0xC6, 0xC4, 0xC2, 0xC9, 0xC9, 0xC5, 0xC6};
        for (int i = 0; i < kMaxEvents; ++i) {
            SongEvent& e = song.events[size_t(i)];
            e.code = codes[i % 9];
            e.pitch = uint8_t(40 + (i * 7) % 30);
            if (withRestsAndTies && i % 11 == 10)
                e.pitch = kPitchRest;
            else if (withRestsAndTies && i % 13 == 12)
                e.pitch = kPitchTie;
        }
        song.count = kMaxEvents;
        song.title = "Benchmark";
    }

    CKesDoc m_doc;
    EnvSettings m_settings{};
    std::unique_ptr<CKesView> m_pView;
};
