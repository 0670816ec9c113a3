#include "song.h"

bool Song::operator==(const Song& other) const {
    if (title != other.title || tempo != other.tempo || count != other.count ||
        music != other.music)
        return false;
    for (int i = 0; i < count; ++i) {
        if (events[i].code != other.events[i].code || events[i].pitch != other.events[i].pitch)
            return false;
    }
    return true;
}
