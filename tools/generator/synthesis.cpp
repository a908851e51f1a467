// The music's building blocks that are more than a few lines: automation,
// the side-chain and the two effects.
#include "synthesis.h"

namespace music {

double automate(const std::vector<Point>& points, double bar) {
    if (bar <= points.front().bar) return points.front().value;
    for (size_t i = 1; i < points.size(); ++i) {
        if (bar <= points[i].bar) {
            const Point& a = points[i - 1];
            const Point& b = points[i];
            if (b.bar <= a.bar) return b.value;
            const double t = (bar - a.bar) / (b.bar - a.bar);
            return a.value + (b.value - a.value) * t;
        }
    }
    return points.back().value;
}

void sideChain(Mix& mix, size_t frame, double depth) {
    const size_t length = static_cast<size_t>(0.24 * SAMPLE_RATE);
    const size_t dip = static_cast<size_t>(0.004 * SAMPLE_RATE);
    for (size_t i = 0; i < length; ++i) {
        double gain;
        if (i < dip) {
            gain = 1.0 - depth * static_cast<double>(i) / dip;
        } else {
            const double x = static_cast<double>(i - dip) / (length - dip);
            gain = 1.0 - depth * (1.0 - x) * (1.0 - x);
        }
        float& slot = mix.duck[(frame + i) % mix.frames];
        slot = std::min(slot, static_cast<float>(gain));
    }
}

namespace {

// How much of the piece's end runs through an effect before its start, so
// that the tails of the end sound over the beginning.
constexpr double WARM_UP_SECONDS = 8.0;


}  // namespace

// Ping-pong echo at a dotted eighth, darker with every repeat.
void pingPongDelay(const Mix& mix, std::vector<float>& left, std::vector<float>& right) {
    const size_t frames = mix.frames;
    const size_t delay = frameAt(0.75);
    const double feedback = 0.42;
    const double wet = 0.55;
    std::vector<float> lineLeft(delay, 0.0f), lineRight(delay, 0.0f);
    double dampLeft = 0.0, dampRight = 0.0;
    const double damp = 1.0 - std::exp(-2.0 * PI * 3800.0 / SAMPLE_RATE);
    const size_t warmUp = static_cast<size_t>(WARM_UP_SECONDS * SAMPLE_RATE);
    size_t cursor = 0;
    for (size_t n = 0; n < warmUp + frames; ++n) {
        const size_t frame = (frames - warmUp + n) % frames;
        const double input = mix.delaySend[frame];
        const double outLeft = lineLeft[cursor];
        const double outRight = lineRight[cursor];
        dampLeft += damp * (outLeft - dampLeft);
        dampRight += damp * (outRight - dampRight);
        lineLeft[cursor] = static_cast<float>(input + feedback * dampRight);
        lineRight[cursor] = static_cast<float>(feedback * dampLeft);
        if (++cursor == delay) cursor = 0;
        if (n >= warmUp) {
            left[frame] += static_cast<float>(wet * outLeft);
            right[frame] += static_cast<float>(wet * outRight);
        }
    }
}

namespace {

// A plate-like reverb: parallel damped combs into series all-passes per
// side, the right side's delays spread a little for width.
class Comb {
public:
    explicit Comb(size_t length) : line(length, 0.0f) {}
    double process(double input, double feedback, double damp) {
        const double out = line[cursor];
        store = out * (1.0 - damp) + store * damp;
        line[cursor] = static_cast<float>(input + store * feedback);
        if (++cursor == line.size()) cursor = 0;
        return out;
    }

private:
    std::vector<float> line;
    size_t cursor = 0;
    double store = 0.0;
};

class AllPass {
public:
    explicit AllPass(size_t length) : line(length, 0.0f) {}
    double process(double input) {
        const double delayed = line[cursor];
        line[cursor] = static_cast<float>(input + delayed * 0.5);
        if (++cursor == line.size()) cursor = 0;
        return delayed - input;
    }

private:
    std::vector<float> line;
    size_t cursor = 0;
};

}  // namespace

void reverb(const Mix& mix, std::vector<float>& left, std::vector<float>& right) {
    static const size_t COMBS[] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
    static const size_t ALLPASSES[] = {556, 441, 341, 225};
    constexpr size_t SPREAD = 23;
    const double feedback = 0.86;
    const double damp = 0.3;
    const double wet = 0.9;
    std::vector<Comb> combsLeft, combsRight;
    std::vector<AllPass> passesLeft, passesRight;
    for (size_t length : COMBS) {
        combsLeft.emplace_back(length);
        combsRight.emplace_back(length + SPREAD);
    }
    for (size_t length : ALLPASSES) {
        passesLeft.emplace_back(length);
        passesRight.emplace_back(length + SPREAD);
    }
    const size_t frames = mix.frames;
    const size_t warmUp = static_cast<size_t>(WARM_UP_SECONDS * SAMPLE_RATE);
    // A little pre-delay keeps the reverb from blurring the attacks.
    const size_t preDelay = static_cast<size_t>(0.02 * SAMPLE_RATE);
    for (size_t n = 0; n < warmUp + frames; ++n) {
        const size_t frame = (frames - warmUp + n) % frames;
        const double input = 0.03 * mix.reverbSend[(frame + frames - preDelay) % frames];
        double l = 0.0, r = 0.0;
        for (size_t k = 0; k < combsLeft.size(); ++k) {
            l += combsLeft[k].process(input, feedback, damp);
            r += combsRight[k].process(input, feedback, damp);
        }
        for (size_t k = 0; k < passesLeft.size(); ++k) {
            l = passesLeft[k].process(l);
            r = passesRight[k].process(r);
        }
        if (n >= warmUp) {
            left[frame] += static_cast<float>(wet * l);
            right[frame] += static_cast<float>(wet * r);
        }
    }
}

}  // namespace music
