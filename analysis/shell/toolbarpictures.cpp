#include "toolbarpictures.h"

#include <QPalette>
#include <QPixmap>

#include <cmath>

namespace quillmark {

const QColor kGlyphColour(0x1d, 0x4e, 0x89);

namespace {

// What the toolbar's glyphs should reach at least: the contrast asked of normal text.
constexpr double kMinimumContrast = 4.5;
// What a light glyph is drawn for, so that the edges of its strokes still read.
constexpr double kLightGlyphContrast = 7.0;

double relativeLuminance(const QColor& c) {
    auto channel = [](double v) {
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    const QColor rgb = c.toRgb();
    return 0.2126 * channel(rgb.redF()) + 0.7152 * channel(rgb.greenF()) +
           0.0722 * channel(rgb.blueF());
}

// The glyph's hue, made lighter until it stands out from the window colour.
QColor lightGlyph(const QColor& window) {
    const QColor hsl = kGlyphColour.toHsl();
    QColor best = Qt::white;
    for (int lightness = hsl.lightness(); lightness <= 255; lightness += 4) {
        const QColor c = QColor::fromHsl(hsl.hslHue(), hsl.hslSaturation(), lightness);
        if (contrastRatio(c, window) >= kLightGlyphContrast)
            return c;
    }
    return best;
}

} // namespace

double contrastRatio(const QColor& a, const QColor& b) {
    const double la = relativeLuminance(a);
    const double lb = relativeLuminance(b);
    return (qMax(la, lb) + 0.05) / (qMin(la, lb) + 0.05);
}

bool needsLightGlyphs(const QColor& window) {
    // Below this luminance a light colour gives more contrast than a dark one.
    constexpr double kDarkBelow = 0.179;
    return relativeLuminance(window) < kDarkBelow &&
           contrastRatio(kGlyphColour, window) < kMinimumContrast;
}

QImage forDarkWindow(const QImage& picture, const QColor& window) {
    const QColor glyph = lightGlyph(window);
    QImage out = picture.convertToFormat(QImage::Format_ARGB32);
    // The pictures hold the glyph colour, white and blends of the two: each pixel keeps its
    // share of white, which becomes the window colour, and its coverage.
    const int spanR = 255 - kGlyphColour.red();
    const int spanG = 255 - kGlyphColour.green();
    const int spanB = 255 - kGlyphColour.blue();
    auto mix = [](int from, int to, double t) { return int(std::lround(from + (to - from) * t)); };
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const QRgb p = line[x];
            if (qAlpha(p) == 0)
                continue;
            const double white =
                qBound(0.0,
                       double((qRed(p) - kGlyphColour.red()) + (qGreen(p) - kGlyphColour.green()) +
                              (qBlue(p) - kGlyphColour.blue())) /
                           (spanR + spanG + spanB),
                       1.0);
            line[x] = qRgba(mix(glyph.red(), window.red(), white),
                            mix(glyph.green(), window.green(), white),
                            mix(glyph.blue(), window.blue(), white), qAlpha(p));
        }
    }
    return out;
}

QIcon toolbarPicture(const QString& name, const QPalette& palette) {
    const QString normal = QStringLiteral(":/toolbar/%1.png").arg(name);
    const QString hot = QStringLiteral(":/toolbar/%1-hot.png").arg(name);
    QIcon icon;
    const QColor window = palette.color(QPalette::Active, QPalette::Window);
    if (needsLightGlyphs(window))
        icon.addPixmap(QPixmap::fromImage(forDarkWindow(QImage(normal), window)), QIcon::Normal);
    else
        icon.addFile(normal, QSize(), QIcon::Normal);
    // The highlighted picture brings its own light ground.
    icon.addFile(hot, QSize(), QIcon::Active);
    return icon;
}

} // namespace quillmark
