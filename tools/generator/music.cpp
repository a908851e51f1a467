// The demo's music track: the score rendered through the synthesis and
// encoded as a looping MP3.
#include "music.h"

#include "mp3writer.h"
#include "score.h"
#include "synthesis.h"

bool writeMusicTrack(const std::string& path, std::string* error) {
    return writeLoopedMp3(music::renderPiece(), music::SAMPLE_RATE, path, error);
}
