#pragma once
// Bringing the game's images back after the display lost its surfaces: the
// library's own graphs, the message and choice windows' images, every cached
// image, the icons and the pictures, in that order. The windows and pictures
// reload through the steps their owners install.

#include <functional>

namespace velk {

class GraphicCache;
class PresentLibrary;
class SystemResources;

class GraphicsRestore {
public:
    GraphicsRestore(PresentLibrary& library, GraphicCache& cache, SystemResources& resources);

    // The choice window's and then the message window's image loads (which
    // also close both windows and show a pending request again from its start).
    void SetWindowReload(std::function<void()> reload) { windowReload_ = std::move(reload); }
    // The picture images' rebuild.
    void SetPictureReload(std::function<void()> reload) { pictureReload_ = std::move(reload); }

    // The restore itself; a missing file is reported and the rest still comes back.
    void RestoreGameGraphics();

private:
    PresentLibrary& library_;
    GraphicCache& cache_;
    SystemResources& resources_;
    std::function<void()> windowReload_;
    std::function<void()> pictureReload_;
};

// Hands `restore` to the library as its graphics-restore callback (null takes
// it back). Start-up calls it once, right after the first icon load.
void RegisterGraphicsRestore(GraphicsRestore* restore);

}  // namespace velk
