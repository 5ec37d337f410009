// Renders of the default tunes made when the game was built, with the
// soundfont the game depends on, and shipped in the data folder's
// `renders/` (the page plays the same files). A player whose synthesiser
// signature matches the build's hears them from the first start, and the
// game renders nothing of its own for them.
//
// They are MP3 (the one compressed format every browser decodes, so the
// desktop and the page play the same bytes), brought to the target
// loudness; the list beside them (`renders.txt`) names each render's key,
// length, gain, the tune's loudness before the gain, and a checksum of the
// file, so a damaged render is never played.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace kelvane {

class RenderedTune;

// The folder in the data folder, and the list in it.
inline constexpr const char* kShippedRendersFolder = "renders/";
inline constexpr const char* kShippedRendersList = "renders.txt";
inline constexpr const char* kShippedRendersHeader = "# kelvane shipped renders 1";

// Where the shipped renders are read; empty (the default) turns them off.
void SetShippedRendersFolder(const std::string& folder);

// The shipped render of key with exactly frames frames, read whole and
// checked against its checksum (once a run), or null.
std::shared_ptr<const RenderedTune> FindShippedRender(uint64_t key, uint64_t frames);

// The file name of the shipped render of key when the list names one and
// the file checks, else empty. Slow the first time (reads the file):
// never on the game's thread before the render is checked once.
std::string ShippedRenderName(uint64_t key, uint64_t frames);

// FNV-1a over the file's bytes, 64 bits: the list's checksum.
uint64_t ShippedChecksum(const std::string& bytes);

}  // namespace kelvane
