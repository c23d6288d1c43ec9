#include "ui/toolkit/contrast.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace vellumark::toolkit {

namespace {

// Searched for a little above the ratio asked, so that rounding to 8-bit channels keeps it.
constexpr double kRoundingMargin = 0.05;

double linear(double channel) {
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

double worstRatio(const QColor& color, std::initializer_list<QColor> backgrounds) {
    double worst = 21.0;
    for (const QColor& background : backgrounds) {
        worst = std::min(worst, contrastRatio(color, background));
    }
    return worst;
}

QColor atLightness(const QColor& color, double lightness) {
    float hue = 0;
    float saturation = 0;
    float unused = 0;
    color.getHslF(&hue, &saturation, &unused);
    // Grey has no hue.
    return QColor::fromHslF(std::max(hue, 0.0f), hue < 0 ? 0.0f : saturation, static_cast<float>(lightness));
}

// The lightness nearest `from`, on the way to `to`, at which `color` has `ratio` against every background;
// none when not even `to` has it.
std::optional<double> nearestLightness(const QColor& color, std::initializer_list<QColor> backgrounds,
                                       double ratio, double from, double to) {
    if (worstRatio(atLightness(color, to), backgrounds) < ratio) {
        return std::nullopt;
    }
    double near = from;
    double far = to;
    for (int step = 0; step < 20; ++step) {
        const double middle = (near + far) / 2;
        (worstRatio(atLightness(color, middle), backgrounds) >= ratio ? far : near) = middle;
    }
    return far;
}

}  // namespace

double relativeLuminance(const QColor& color) {
    const QColor rgb = color.toRgb();
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) + 0.0722 * linear(rgb.blueF());
}

double contrastRatio(const QColor& a, const QColor& b) {
    const double first = relativeLuminance(a);
    const double second = relativeLuminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

QColor flattened(const QColor& over, const QColor& under, double share) {
    const double weight = share * over.alphaF();
    const auto channel = [weight](double below, double above) {
        return static_cast<float>(below + (above - below) * weight);
    };
    return QColor::fromRgbF(channel(under.redF(), over.redF()), channel(under.greenF(), over.greenF()),
                            channel(under.blueF(), over.blueF()));
}

QColor withContrast(const QColor& color, std::initializer_list<QColor> backgrounds, double ratio) {
    if (worstRatio(color, backgrounds) >= ratio) {
        return color;
    }
    const double target = ratio + kRoundingMargin;
    const double lightness = color.lightnessF();
    const std::optional<double> darker = nearestLightness(color, backgrounds, target, lightness, 0.0);
    const std::optional<double> lighter = nearestLightness(color, backgrounds, target, lightness, 1.0);
    if (darker && (!lighter || lightness - *darker <= *lighter - lightness)) {
        return atLightness(color, *darker);
    }
    if (lighter) {
        return atLightness(color, *lighter);
    }
    const QColor black(Qt::black);
    const QColor white(Qt::white);
    return worstRatio(black, backgrounds) >= worstRatio(white, backgrounds) ? black : white;
}

QPalette withReadableSelection(QPalette palette) {
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        const QColor text = palette.color(group, QPalette::HighlightedText);
        const QColor highlight = palette.color(group, QPalette::Highlight);
        const QColor readable = withContrast(highlight, {text}, kTextContrast);
        if (readable != highlight) {
            palette.setColor(group, QPalette::Highlight, readable);
        }
    }
    return palette;
}

}  // namespace vellumark::toolkit
