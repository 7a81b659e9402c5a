// Frames of ID3v2.2 and ID3v2.4 tags in the form an ID3v2.3 tag carries them, so that a
// reader of the track's v2.3 tag reads what a reader of the source's tag read.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace partwell {

// The v2.3 id of a v2.2 frame id, or an empty view for a frame v2.3 has no place for.
std::string_view V23IdOfV22Id(std::string_view id);

// Rewrites the content of a frame of a tag of `version` (2, 3 or 4) in its v2.3 form, where
// it differs: a v2.2 picture gets a MIME type, a v2.4 date becomes a year (TDRC -> TYER,
// TDOR -> TORY, changing `id`), v2.4 involvement lists become IPLS, text in UTF-8 or
// UTF-16BE is written again in Latin-1 or UTF-16, and the several values of a v2.4 text
// frame become one. `id` is the frame's v2.3 id (or its v2.4 id), `content` what follows the
// frame's header and flag bytes. Returns false for a frame that v2.3 cannot carry: the
// other v2.4-only frames, and text frames whose text cannot be read.
bool ConvertToV23(int version, std::string& id, std::vector<unsigned char>& content);

}  // namespace partwell
