// Draws the program's icon, two linked rings on a blue disc, and writes it as a .ico file with
// one 32 x 32 image of 32 bits per pixel: icongen OUTPUT.ico
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

const int kSize = 32;
const int kSubsamples = 4; // per axis, for smooth edges

struct Colour {
    double r, g, b, a;
};

// Coverage of a ring of the given centre, radius and half-width at one point: 1 inside, else 0.
double Ring(double x, double y, double cx, double cy, double radius, double halfWidth) {
    const double distance = std::hypot(x - cx, y - cy);
    return std::fabs(distance - radius) <= halfWidth ? 1.0 : 0.0;
}

// The picture at one point of the 32 x 32 square (y grows downwards).
Colour Paint(double x, double y) {
    Colour colour = {0, 0, 0, 0};
    const double disc = std::hypot(x - 16.0, y - 16.0);
    if (disc <= 15.0) {
        const double shade = 0.55 + 0.45 * (1.0 - y / kSize); // lighter at the top
        colour = {0.10 * shade, 0.38 * shade, 0.85 * shade, 1.0};
    }
    // The left ring lies over the right one on the upper crossing, under it on the lower one.
    const bool upper = y < 16.0;
    const double left = Ring(x, y, 12.0, 16.0, 6.5, 1.6);
    const double right = Ring(x, y, 20.0, 16.0, 6.5, 1.6);
    if (right > 0 && !(left > 0 && upper))
        colour = {1.0, 0.78, 0.20, 1.0};
    else if (left > 0)
        colour = {1.0, 1.0, 1.0, 1.0};
    return colour;
}

void PutU16(std::vector<uint8_t>& out, unsigned value) {
    out.push_back(value & 0xFF);
    out.push_back((value >> 8) & 0xFF);
}

void PutU32(std::vector<uint8_t>& out, uint32_t value) {
    PutU16(out, value & 0xFFFF);
    PutU16(out, value >> 16);
}

// BGRA pixels, bottom row first, with straight (not premultiplied) alpha.
std::vector<uint8_t> RenderPixels() {
    std::vector<uint8_t> pixels;
    for (int row = kSize - 1; row >= 0; --row) {
        for (int column = 0; column < kSize; ++column) {
            Colour sum = {0, 0, 0, 0};
            for (int sy = 0; sy < kSubsamples; ++sy) {
                for (int sx = 0; sx < kSubsamples; ++sx) {
                    const Colour c =
                        Paint(column + (sx + 0.5) / kSubsamples, row + (sy + 0.5) / kSubsamples);
                    sum = {sum.r + c.r * c.a, sum.g + c.g * c.a, sum.b + c.b * c.a, sum.a + c.a};
                }
            }
            const double alpha = sum.a / (kSubsamples * kSubsamples);
            const double unpremultiply = sum.a > 0 ? 1.0 / sum.a : 0.0;
            pixels.push_back(static_cast<uint8_t>(std::lround(255 * sum.b * unpremultiply)));
            pixels.push_back(static_cast<uint8_t>(std::lround(255 * sum.g * unpremultiply)));
            pixels.push_back(static_cast<uint8_t>(std::lround(255 * sum.r * unpremultiply)));
            pixels.push_back(static_cast<uint8_t>(std::lround(255 * alpha)));
        }
    }
    return pixels;
}

// The .ico file: header, one directory entry, the bitmap header, pixels and an empty AND mask.
std::vector<uint8_t> BuildIcon() {
    const std::vector<uint8_t> pixels = RenderPixels();
    const uint32_t maskBytes = kSize * 4; // 32 one-bit pixels = 4 bytes per row
    const uint32_t imageBytes = 40 + static_cast<uint32_t>(pixels.size()) + maskBytes;
    std::vector<uint8_t> out;
    PutU16(out, 0), PutU16(out, 1), PutU16(out, 1); // ICONDIR
    out.push_back(kSize), out.push_back(kSize), out.push_back(0), out.push_back(0);
    PutU16(out, 1), PutU16(out, 32), PutU32(out, imageBytes), PutU32(out, 6 + 16);
    PutU32(out, 40), PutU32(out, kSize), PutU32(out, 2 * kSize); // BITMAPINFOHEADER
    PutU16(out, 1), PutU16(out, 32), PutU32(out, 0);
    PutU32(out, static_cast<uint32_t>(pixels.size()) + maskBytes);
    PutU32(out, 0), PutU32(out, 0), PutU32(out, 0), PutU32(out, 0);
    out.insert(out.end(), pixels.begin(), pixels.end());
    out.insert(out.end(), maskBytes, 0);
    return out;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: icongen OUTPUT.ico\n", stderr);
        return 2;
    }
    const std::vector<uint8_t> icon = BuildIcon();
    std::FILE* file = std::fopen(argv[1], "wb");
    if (file == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    const bool written = std::fwrite(icon.data(), 1, icon.size(), file) == icon.size();
    return std::fclose(file) == 0 && written ? 0 : 1;
}
