#pragma once
// Pictures over the fake library: the picture image store, a recording
// drawing library, the settings and a picture list, beside the text side.

#include <string>
#include <vector>

#include "game/present/picture_drawing.h"
#include "game/present/picture_images.h"
#include "game/present/picture_list.h"
#include "tests/game/present/text_fixture.h"

namespace velk::testing {

// One recorded drawing call: "blend m p", "bright r g b", "scaled x1 y1 x2 y2 g",
// "rotated x y scale angle g", "capture x1 y1 x2 y2 g".
class RecordingDrawing final : public PictureDrawing {
public:
    void DrawGraphScaled(int x1, int y1, int x2, int y2, int graph, bool) override {
        Add("scaled " + Join({x1, y1, x2, y2, graph}));
    }
    void DrawGraphRotated(int x, int y, double scale, double angle, int graph, bool) override {
        char text[96];
        std::snprintf(text, sizeof text, "rotated %d %d %.3f %.4f %d", x, y, scale, angle, graph);
        Add(text);
    }
    void SetDrawBlendMode(int mode, int parameter) override { Add("blend " + Join({mode, parameter})); }
    void SetDrawBrightness(int r, int g, int b) override { Add("bright " + Join({r, g, b})); }
    int LoadGraphAsOneTexture(const std::string& path) override {
        Add("load " + path);
        return path.find("missing") == std::string::npos ? 77 : -1;
    }
    void DeleteGraph(int graph) override { Add("delete " + std::to_string(graph)); }
    void CaptureScreen(int x1, int y1, int x2, int y2, int graph) override {
        Add("capture " + Join({x1, y1, x2, y2, graph}));
    }

    static std::string Join(std::initializer_list<int> values) {
        std::string text;
        for (int value : values)
            text += (text.empty() ? "" : " ") + std::to_string(value);
        return text;
    }
    void Add(std::string call) { calls.push_back(std::move(call)); }
    std::vector<std::string> Take() { return std::exchange(calls, {}); }

    std::vector<std::string> calls;
};

class PictureTest : public TextTest {
protected:
    PictureTest() {
        library_.files["Data\\pic.png"] = ImageBytes(64, 32);
        library_.files["Data\\wide.png"] = ImageBytes(100, 50);
        library_.files["Data\\frame.png"] = ImageBytes(24, 24);
    }

    // Show arguments: image at (x, y), settled (no frames), opacity 255.
    static PictureArguments At(int32_t x, int32_t y, int32_t frames = 0) {
        PictureArguments a;
        a.x = x;
        a.y = y;
        a.frames = frames;
        return a;
    }
    void Frames(int count) {
        for (int i = 0; i < count; ++i)
            pictures_.Update();
    }
    const Picture& P(int32_t id) {
        const Picture* picture = pictures_.Find(id);
        EXPECT_NE(picture, nullptr) << "no picture " << id;
        static Picture none;
        return picture ? *picture : none;
    }
    std::vector<int32_t> Ids() const {
        std::vector<int32_t> ids;
        for (const Picture& picture : pictures_.Pictures())
            ids.push_back(picture.id);
        return ids;
    }

    RecordingDrawing drawing_;
    PictureImageStore images_{library_};
    PictureSettings pictureSettings_;
    PictureServices services_{drawing_, images_, renderer_, pictureSettings_};
    PictureList pictures_{services_};
};

}  // namespace velk::testing
