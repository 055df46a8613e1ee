#include "lib/api/library_parts.h"

#include "lib/core/input/device_input.h"
#include "lib/core/input/key_input.h"
#include "lib/core/library.h"
#include "lib/core/network/network_layer.h"
#include "lib/core/screen_log.h"
#include "lib/api/library_startup.h"
#include "lib/api/screen_graphics_steps.h"
#include "lib/core/window/main_window.h"
#include "lib/core/window/message_processing.h"
#include "lib/graphics/draw_settings.h"
#include "lib/graphics/font/font_handles.h"
#include "lib/graphics/font/text_draw.h"
#include "lib/graphics/graph_draw.h"
#include "lib/graphics/graphics_fatal.h"
#include "lib/graphics/screen/screen_state.h"
#include "lib/movie/movie_handles.h"
#include "lib/sound/sound_data.h"
#include "lib/sound/sound_services.h"

namespace velk {

namespace {

// Key input draws its text, cursor and composition with the graphics'
// fonts, boxes and colour values.
KeyInputDrawServices MakeKeyInputDrawServices() {
    KeyInputDrawServices services;
    services.get_color_value = [](int red, int green, int blue) { return GetColorValue(red, green, blue); };
    services.get_default_font_handle = [] { return GetDefaultFontHandle(); };
    services.get_font_size = [](int font) { return GetFontSizeToHandle(font); };
    services.get_string_width = [](const char* text, int length, int font) {
        return GetStringWidthToHandle(text, length, font);
    };
    services.draw_string = [](int x, int y, const char* text, uint32_t colour, int font, uint32_t edge) {
        return DrawStringToHandle(x, y, text, colour, font, edge);
    };
    services.draw_box = [](int x1, int y1, int x2, int y2, uint32_t colour, int fill) {
        return DrawBox(x1, y1, x2, y2, colour, fill);
    };
    services.get_draw_area = [] {
        Rect area;
        GetDrawArea(&area);
        return area;
    };
    services.get_use_3d = [] { return GetUse3DFlag(); };
    services.set_use_3d = [](int flag) { return SetUse3DFlag(flag); };
    return services;
}

// The on-screen log's font is an edged one, so that its white lines keep a
// black edge over any picture.
ScreenLogServices MakeScreenLogServices() {
    ScreenLogServices services;
    services.display_ready = [] { return IsGraphManagementInitialized() && !DirectDrawMissing(); };
    services.window_exists = [] { return GetMainWindowHWND() != 0; };
    services.create_font = [](int size, int thickness) {
        return CreateFontToHandle(nullptr, size, thickness, kFontTypeEdge, -1, -1, 0);
    };
    services.delete_font = [](int font) { return DeleteFontToHandle(font); };
    services.set_font_delete_notify = [](int font, int* deleted) { return SetFontDeleteNotifyFlag(font, deleted); };
    services.screen_height = [] { return ScreenHeight(); };
    services.draw_line = [](int x, int y, const char* text, int font) {
        return DrawStringToHandle(x, y, text, GetColorValue(255, 255, 255), font, GetColorValue(0, 0, 0));
    };
    return services;
}

}  // namespace

void RegisterLibraryParts() {
    LibraryLifeBodies bodies;
    bodies.start_up = &InitLibraryBody;
    bodies.shut_down = &EndLibraryBody;
    SetLibraryLifeBodies(bodies);
    RegisterMessageProcessingBody();

    RegisterInputWithWindow();
    RegisterTextInputWithWindow();
    RegisterNetworkWithWindow();
    InstallSoundWindowServices();
    InstallMovieWindowServices();
    SetKeyInputDrawServices(MakeKeyInputDrawServices());
    SetScreenLogServices(MakeScreenLogServices());
    SetGraphicsStartSteps(ScreenGraphicsStartSteps());

    SetGraphicsFatalHandler(nullptr);
    SetSoundFatalErrorHandler(nullptr);
}

}  // namespace velk
