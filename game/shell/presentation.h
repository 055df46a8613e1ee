#pragma once
// The game's presentation as the shell holds it: the graphics cache, the
// game's fonts and icons, the text renderer with its settings, the message
// and choice windows, the picture list with the services it draws through,
// the screen state the screen commands change, the graphics restore and the
// map scene (tiles, characters, panorama and fog).
// It is built once the library runs and the databases are loaded (the
// windows load their images as they are made) and lives until the scene
// ends; the title/reset block rebuilds the picture list in place.

#include "game/present/game_windows.h"
#include "game/present/graphic_cache.h"
#include "game/present/graphics_restore.h"
#include "game/present/map_scene.h"
#include "game/present/picture_commands.h"
#include "game/present/picture_images.h"
#include "game/present/picture_list.h"
#include "game/present/present_library.h"
#include "game/present/system_resources.h"
#include "game/present/text_renderer.h"

namespace velk {

class GameHome;

class GamePresentation {
public:
    explicit GamePresentation(GameHome& home);
    ~GamePresentation();
    GamePresentation(const GamePresentation&) = delete;
    GamePresentation& operator=(const GamePresentation&) = delete;

    // The game's fonts from Game.dat (texts 3-6, setting 14 for plain
    // letters), and an empty graphics cache.
    void SetupFonts();
    // The choice window's images, then the message window's.
    void ReloadWindows();
    void RebuildPictures();
    // One frame of the windows: the choice window first, then the message
    // window, both on this frame's input.
    void UpdateWindows();
    // Start-up's last steps: the icons, then the restore handed to the library.
    void LoadIconsAndRegisterRestore();

    GameHome& home;
    PresentLibrary& library;
    GraphicCache cache;
    SystemResources resources;
    TextSettings textSettings;
    TextRenderer renderer;
    GraphicsRestore restore;
    PictureImageStore pictureImages;
    PictureSettings pictureSettings;
    PictureServices pictureServices;
    PictureList pictures;
    WindowContext windowContext;
    ChoiceWindow choice;
    MessageWindow message;
    GameSystemScreen screen;
    MapScene mapScene;

private:
    bool restoreRegistered_ = false;
};

}  // namespace velk
