#include "app/screensize.h"

#include "app/appcontext.h"
#include "app/prompter.h"

#include <cmath>
#include <cstdlib>

namespace shelvix::app {

const std::array<ScreenSizeInfo, 4>& screenSizes() {
    static const std::array<ScreenSizeInfo, 4> kSizes = {{
        {640, 640, 480, 1.0, "N640x480", "640 x 480", "Shift+F1"},
        {800, 800, 600, 1.25, "N800x600", "800 x 600", "Shift+F2"},
        {1024, 1024, 768, 1.6, "N1024x768", "1024 x 768", "Shift+F3"},
        {1280, 1280, 1024, 2.0, "N1280x1024", "1280 x 1024", "Shift+F4"},
    }};
    return kSizes;
}

const ScreenSizeInfo* screenSizeInfo(int size) {
    for (const ScreenSizeInfo& s : screenSizes())
        if (s.size == size)
            return &s;
    return nullptr;
}

namespace {

bool fits(const ScreenSizeInfo& s, QSize screen) {
    return screen.width() >= s.width && screen.height() >= s.height;
}

} // namespace

double startupScreenFactor(int windowSize, QSize screen) {
    const ScreenSizeInfo* s = screenSizeInfo(windowSize);
    return s && fits(*s, screen) ? s->factor : 1.0;
}

int sizeForFactor(double factor) {
    for (const ScreenSizeInfo& s : screenSizes())
        if (s.factor == factor)
            return s.size;
    return 640;
}

int scalePercent(double factor) {
    return int(std::lround(factor * 100.0));
}

int scaleValue(int value, int percent) {
    const long long product = (long long)value * percent;
    const long long half = product >= 0 ? 50 : -50;
    return int((product + half) / 100);
}

SizeChoice chooseScreenSize(AppContext& ctx, int size) {
    const ScreenSizeInfo* s = screenSizeInfo(size);
    if (!s || ctx.global.windowSize == size)
        return SizeChoice::Unchanged;
    if (s->factor != 1.0 && !fits(*s, ctx.screenSize)) {
        ctx.prompter->error(
            QStringLiteral("Your current screen resolution does not support %1 pixels.")
                .arg(QLatin1String(s->caption)));
        return SizeChoice::Unsupported;
    }
    ctx.global.windowSize = size;
    ctx.screenFactor = s->factor;
    return SizeChoice::Changed;
}

} // namespace shelvix::app
