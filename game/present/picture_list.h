#pragma once
// Every picture of the game, kept in ascending id order, and the operations
// the picture commands, the frame's update and drawing, the save and the
// graphics restore perform on them. A range operation acts on every id from
// first to last inclusive; a show creates the ids it names.
//
// The list itself is plain state that can be copied whole (a save snapshot)
// and replaced by a fresh list (the title/reset block); the services it draws
// and loads through are shared and outlive it.
//
// What the pictures keep of their texts (a string picture's text with its
// layout, and the texts of queued operations) is held to a bound as large as
// the strings' (HeldStringLimit()): a game can show one long text on every
// id. A show whose text would pass it, or that the memory left cannot hold,
// is refused with the box of strings that would pass their bound and takes
// the picture at its id away, as a show of a missing file does.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "game/present/picture.h"

namespace velk {

class ByteWriter;
class PictureDrawing;
class PictureImageStore;
class SaveStream;
class TextRenderer;

// Game-wide values the pictures read besides the text settings.
struct PictureSettings {
    // The display speed a string picture's text starts with.
    int32_t messageSpeed = 240;
    bool testPlay = false;
};

struct PictureServices {
    PictureDrawing& drawing;
    PictureImageStore& images;
    TextRenderer& text;
    const PictureSettings& settings;
};

// Drawing bands by id: -2 for -100000 and below, -1 for -99999..-1, 0 for
// 0..99999, 1 for 100000 and above.
int PictureBand(int32_t id);

// The zoom pair of a zoom and its axis option: 1 zooms only vertically, 2
// only horizontally, any other both; a kept zoom keeps both.
void PictureZoomPair(int32_t zoom, int32_t axisOption, int32_t& zoomX, int32_t& zoomY);

class PictureList {
public:
    // More pictures than a save can count are not made.
    static constexpr size_t kMaxPictures = 32767;

    explicit PictureList(PictureServices& services) : services_(&services) {}

    // Empties the list; with `deleteGraphics` also the image store.
    void Clear(bool deleteGraphics);

    // Shows an image file (a 3 x 3 window frame of divisionsX x divisionsY
    // pixels when `window`) on every id of the range.
    void Show(int32_t first, int32_t last, const std::string& fileName, const PictureArguments& arguments,
              int32_t delay, bool window);
    // Shows a converted text on every id of the range; the range stops at the
    // first picture refused.
    void ShowString(int32_t first, int32_t last, const std::string& text, const PictureArguments& arguments,
                    int32_t delay);
    void Move(int32_t first, int32_t last, const PictureArguments& arguments, int32_t delay);
    void EraseRange(int32_t first, int32_t last, int32_t frames, int32_t delay, int32_t color);
    void CancelDelayedRange(int32_t first, int32_t last);
    // Kinds 0 flash, 1 colour tone, 2 offset, 3 shake, 4 zoom about a point.
    void SetEffectRange(int32_t first, int32_t last, int32_t kind, int32_t a, int32_t b, int32_t c, int32_t frames);
    // Property codes 0-9; without such a picture 0 for code 9, else -1.
    int32_t GetProperty(int32_t id, int32_t code) const;

    // One frame: queued operations, fades, effect counters; gone pictures
    // are dropped.
    void Update();
    // Draws the pictures of one band in id order.
    void DrawBand(int band);

    // The picture part of a save; false (nothing written) when the list or a
    // file name is too long for its counts. A string picture's text longer
    // than its field is saved cut after its last whole character.
    bool WriteSave(ByteWriter& out) const;
    // Reads it back as the stream's version has it, loading the images and
    // laying out the texts when asked; false when the data ended early (the
    // stream's error flag set). A string picture whose text would pass the
    // bound is read without it and not drawn, as one whose file is gone;
    // only the first is reported, and only when loading.
    bool ReadSave(SaveStream& in, bool loadImages);
    // Gives every picture its rebuilt graphs after the display was restored.
    void ReloadImages();

    const std::vector<Picture>& Pictures() const { return pictures_; }
    // The picture with exactly this id, or null.
    const Picture* Find(int32_t id) const;
    // What the pictures keep of their texts, as counted against the bound.
    size_t HeldTextBytes() const { return heldTextBytes_; }

private:
    size_t StartIndex(int32_t first) const;
    void Recount();
    // Visits every picture of the range.
    template <typename Action>
    void ForRange(int32_t first, int32_t last, Action action);
    // Visits every id of the range, making the missing ones.
    template <typename Action>
    void ForEveryId(int32_t first, int32_t last, Action action);

    // `imagesShown`, within one show of a range: true once every image of
    // the store is known to be shown by a picture, which lets a fresh
    // picture skip the release of unused images that could free nothing.
    void SetImage(Picture& picture, PictureOperation kind, const std::string& fileName, PictureArguments arguments,
                  int32_t delay, bool* imagesShown = nullptr);
    void SetString(Picture& picture, const std::string& text, PictureArguments arguments, int32_t delay);
    void StartMove(Picture& picture, const PictureArguments& arguments, int32_t delay);
    void Erase(Picture& picture, int32_t frames, int32_t delay, int32_t color);
    void SetEffect(Picture& picture, int32_t kind, int32_t a, int32_t b, int32_t c, int32_t frames);
    // The new values of a show or move that are not kept (kinds outside 0-4
    // and patterns outside the cells are refused at the caller).
    void TakeTargets(Picture& picture, const PictureArguments& arguments);
    // False (with the error box) when the pattern names no cell; the
    // previous pattern is kept then.
    bool CheckPattern(Picture& picture, int32_t previousPattern);
    // Settles or restarts every glide before new targets are set.
    void StartFrom(Picture& picture);
    void Queue(Picture& picture, PictureOperation kind, const std::string& text, const PictureArguments& arguments,
               int32_t delay);
    void RunDelayed(Picture& picture);
    void UpdatePicture(Picture& picture);
    void Remove(Picture& picture);
    // Frees what the removals noted during the frame's walk left unshown.
    void ReleaseRemoved();
    void MeasureText(Picture& picture);
    // Gives the picture `text`, laid out when `layOut`, counted into `held`;
    // false, the picture keeping no text, when that would pass the bound or
    // the memory left cannot hold it.
    bool HoldText(Picture& picture, const std::string& text, bool layOut, size_t& held);
    // The box of a text the pictures may not keep, unless refusals are quiet.
    void ReportRefusal(int32_t id);
    void DrawPicture(Picture& picture);
    bool ReadRecord(SaveStream& in, Picture& picture, bool loadImages, size_t& held);

    PictureServices* services_;
    std::vector<Picture> pictures_;
    int32_t count_ = 0;
    std::array<int32_t, 3> hints_{};
    std::array<int32_t, 4> spareWords_{};
    // The sum of every picture's textBytesCounted.
    size_t heldTextBytes_ = 0;
    // Set where a refusal is not to be reported: after the first of a frame's
    // delayed shows or of a save, and in a save read without loading.
    bool quietRefusals_ = false;
    // During the frame's walk a removal only notes the graph it leaves
    // (-1 when the picture showed none): freeing the unshown images after
    // each would walk the list once per removal. They are freed before
    // anything else reaches the image store and when the walk ends.
    bool deferRelease_ = false;
    std::vector<int32_t> removedGraphs_;
};

}  // namespace velk
