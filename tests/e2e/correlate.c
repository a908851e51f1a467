// Finds where a recording lies in a track: both raw signed 16-bit mono at
// the same rate. Slides SECONDS of the recording, from START seconds on,
// over the whole track and prints the best offset (seconds), its normalised
// correlation and the level of the recording and of the track there (dBFS).
//
// Usage: correlate TRACK RECORDING RATE START SECONDS
#include <math.h>
#include <stdio.h>
#include <stdlib.h>

// A minute at 44.1 kHz: more than the script compares (20 s at 8 kHz).
enum { MOST_SAMPLES = 60 * 44100 };
static short track[MOST_SAMPLES], recording[MOST_SAMPLES];

static long readAll(const char* name, short* samples) {
    FILE* f = fopen(name, "rb");
    const long count = f ? (long)fread(samples, sizeof(short), MOST_SAMPLES, f) : 0;
    if (f) fclose(f);
    return count;
}

static double level(double sumSquares, long n) { return 10.0 * log10(sumSquares / n / (32768.0 * 32768.0) + 1e-12); }

int main(int argc, char** argv) {
    if (argc != 6) {
        fprintf(stderr, "usage: correlate TRACK RECORDING RATE START SECONDS\n");
        return 2;
    }
    const long trackCount = readAll(argv[1], track), recordingCount = readAll(argv[2], recording);
    const long rate = atol(argv[3]), start = (long)(atof(argv[4]) * rate), n = (long)(atof(argv[5]) * rate);
    if (n <= 0 || start < 0 || start + n > recordingCount || n > trackCount) {
        fprintf(stderr, "correlate: unreadable input or too short (track %ld, recording %ld samples)\n", trackCount,
                recordingCount);
        return 2;
    }
    const short* piece = recording + start;
    double pieceSquares = 0, windowSquares = 0;
    for (long i = 0; i < n; ++i) {
        pieceSquares += (double)piece[i] * piece[i];
        windowSquares += (double)track[i] * track[i];
    }
    double best = -2, bestSquares = 0;
    long bestOffset = 0;
    for (long offset = 0; offset + n <= trackCount; ++offset) {
        double dot = 0;
        for (long i = 0; i < n; ++i) dot += (double)piece[i] * track[offset + i];
        const double norm = sqrt(pieceSquares * windowSquares);
        const double c = norm > 0 ? dot / norm : 0;
        if (c > best) {
            best = c;
            bestOffset = offset;
            bestSquares = windowSquares;
        }
        if (offset + n < trackCount) {
            windowSquares += (double)track[offset + n] * track[offset + n] - (double)track[offset] * track[offset];
            if (windowSquares < 0) windowSquares = 0;
        }
    }
    printf("%.3f %.3f %.1f %.1f\n", (double)(bestOffset - start) / rate, best, level(pieceSquares, n),
           level(bestSquares, n));
    return 0;
}
