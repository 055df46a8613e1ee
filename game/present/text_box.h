#pragma once
// The game's text-layout record. One sits in every string picture, in the
// message window and in the choice window: it holds a converted text
// (TextCode form), its place on the screen, the pen that walks over it, the
// display progress that lets a message appear character by character, the
// pause and close requests its TextCodes raise, and the per-line metrics a
// measuring pass fills and drawing reads. The walk itself is TextRenderer's.

#include <cstdint>
#include <string>
#include <vector>

namespace velk {

class TextRenderer;

// Progress that shows the whole text.
inline constexpr double kWholeTextProgress = 1000000.0;
// Display progress never runs past this.
inline constexpr double kMaxDisplayProgress = 50000000.0;

class TextBox {
public:
    TextBox(int32_t x = 0, int32_t y = 0) : x(x), y(y) {}

    // Starts the layout of the shown text over; the first draw after the
    // shown text changed calls it.
    void Reset();
    // For an owner that changes its text only through Hold and Release (the
    // message and choice windows): starts the layout of `text` over as Reset
    // does and keeps the text once, as the working text alone. Such a box is
    // drawn with DrawHeld, which skips the look for a changed shown text: on
    // a long text that look costs more than the drawing, every frame.
    void Hold(std::string text);
    // Gives the held text and its line metrics (all but the raw widths) back
    // to the memory; the box draws nothing until the next Hold.
    void Release();
    // Lays the text out without drawing; its widest line and its height
    // (unscaled pixels).
    void Measure(TextRenderer& renderer, int32_t& width, int32_t& height);
    // Draws the text (or only lays it out) at its place; scales other than 1
    // select the scaled draws.
    void Draw(TextRenderer& renderer, bool draw, double scaleX = 1.0, double scaleY = 1.0);
    // The same for a held text, at scale 1.
    void DrawHeld(TextRenderer& renderer, bool draw);
    // One frame of display progress at `frameStep`: nothing while a key or a
    // timed pause holds the text (the pause counts down instead).
    void AdvanceDisplay(int32_t frameStep);
    // Every byte of the working text is shown.
    bool IsDisplayComplete() const;
    // Raises the metrics of the current line to the pen and `lineHeight`;
    // `scale` is the display scale.
    void RecordLineMetrics(int32_t lineHeight, int32_t scale);

    std::string workingText;
    // What the owner shows; an empty text draws nothing.
    std::string shownText;
    std::string laidOutText;
    int32_t x = 0;
    int32_t y = 0;
    // Scaled pixels from the box's corner.
    int32_t penX = 0;
    int32_t penY = 0;
    int32_t lineIndex = 0;
    int32_t charIndex = 0;
    int32_t colorNumber = 0;
    int32_t fontSize = 24;
    int32_t edgeFlag = 0;
    double speed = 240.0;
    // Text bytes shown so far (TextCodes not counted).
    double progress = 0.0;
    double previousProgress = 0.0;
    // A reset shows the whole text at once.
    bool instant = false;
    // Per line: widest pen x (unscaled), pen y (unscaled), height, and the
    // pen x (scaled) at which the width was last raised.
    std::vector<int32_t> lineWidths;
    std::vector<int32_t> lineTops;
    std::vector<int32_t> lineHeights;
    std::vector<int32_t> lineRawWidths;
    int32_t fontSlot = 0;
    // The choice window's box: its own line heights and gaps.
    bool choiceLayout = false;
    bool waitingForKey = false;
    bool closeRequest = false;
    int32_t timedPauseEnd = 0;
    int32_t timedPauseFrames = 0;
    int32_t keyPauseEnd = 0;
    int32_t maxWidth = 0;
    int32_t maxRawWidth = 0;
    // TextCode bytes passed so far.
    int32_t controlBytes = 0;
    // Extra vertical offset of icons and images in the text.
    int32_t imageYOffset = 0;

private:
    // What a reset starts over besides the texts: the lines and the
    // progress, then the pauses and requests of the TextCodes.
    void StartLinesOver();
    void ClearPauses();
};

}  // namespace velk
