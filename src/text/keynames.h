// The names of keys in the interface language, as the song's key is shown ("ニ長調").
#pragma once

#include "song/musickey.h"

#include <QString>

/// The name of a key ("ニ長調", "嬰ヘ短調"), its tonic spelt as the key's signature spells it.
QString SongKeyName(const SongKey& key);
