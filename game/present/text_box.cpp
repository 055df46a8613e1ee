#include "game/present/text_box.h"

#include <algorithm>

#include "game/present/text_renderer.h"

namespace velk {

void TextBox::Reset() {
    laidOutText = shownText;
    StartLinesOver();
    workingText = shownText;
    ClearPauses();
}

void TextBox::Hold(std::string text) {
    std::string().swap(shownText);
    std::string().swap(laidOutText);
    StartLinesOver();
    workingText = std::move(text);
    ClearPauses();
}

void TextBox::Release() {
    // Swapped for empty ones: a cleared string or list keeps a long text's
    // memory. The raw widths stay, as through a reset: the lines of a later
    // text that never raise their width still read them.
    for (std::string* text : {&workingText, &shownText, &laidOutText})
        std::string().swap(*text);
    for (auto* lines : {&lineWidths, &lineTops, &lineHeights})
        std::vector<int32_t>().swap(*lines);
}

void TextBox::StartLinesOver() {
    // The raw widths are overwritten line by line as the new text is measured.
    lineWidths.clear();
    lineTops.clear();
    lineHeights.clear();
    maxWidth = 0;
    maxRawWidth = 0;
    if (instant) {
        progress = kWholeTextProgress;
    } else {
        progress = 0.0;
        previousProgress = 0.0;
    }
}

void TextBox::ClearPauses() {
    timedPauseEnd = 0;
    timedPauseFrames = 0;
    keyPauseEnd = 0;
    controlBytes = 0;
    waitingForKey = false;
    closeRequest = false;
}

void TextBox::AdvanceDisplay(int32_t frameStep) {
    previousProgress = progress;
    if (!waitingForKey && timedPauseFrames < 1) {
        // A negative speed (the display speed is a game variable) would take
        // the progress below any count of bytes; it stays at none shown.
        progress = std::clamp(progress + frameStep * speed / 30.0, 0.0, kMaxDisplayProgress);
    }
    if (timedPauseFrames >= 1) timedPauseFrames -= frameStep;
}

bool TextBox::IsDisplayComplete() const {
    return static_cast<int64_t>(progress) + controlBytes >= static_cast<int64_t>(workingText.size());
}

void TextBox::RecordLineMetrics(int32_t lineHeight, int32_t scale) {
    const size_t line = static_cast<size_t>(std::max(lineIndex, 0));
    for (auto* list : {&lineWidths, &lineTops, &lineHeights, &lineRawWidths}) {
        if (list->size() < line + 1) list->resize(line + 1, 0);
    }
    // Laid out for every character: the division, dearer than the rest,
    // only where the display is scaled.
    const int32_t width = scale == 1 ? penX : penX / scale;
    if (lineWidths[line] < width) {
        lineWidths[line] = width;
        lineRawWidths[line] = penX;
        maxWidth = std::max(maxWidth, width);
        maxRawWidth = std::max(maxRawWidth, penX);
    }
    lineTops[line] = scale == 1 ? penY : penY / scale;
    lineHeights[line] = lineHeight;
}

void TextBox::Measure(TextRenderer& renderer, int32_t& width, int32_t& height) {
    renderer.Draw(*this, false, 1.0, 1.0);
    width = 0;
    height = 0;
    for (int32_t w : lineWidths)
        width = std::max(width, w);
    const size_t lines = std::min(lineTops.size(), lineHeights.size());
    for (size_t i = 0; i < lines; ++i)
        height = std::max(height, lineTops[i] + lineHeights[i]);
}

void TextBox::Draw(TextRenderer& renderer, bool draw, double scaleX, double scaleY) {
    renderer.Draw(*this, draw, scaleX, scaleY);
}

void TextBox::DrawHeld(TextRenderer& renderer, bool draw) { renderer.DrawHeld(*this, draw); }

}  // namespace velk
