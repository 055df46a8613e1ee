#include "lib/movie/theora_movie.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include <ogg/ogg.h>
#include <theora/theoradec.h>

#include "lib/core/log.h"
#include "lib/movie/movie_log_texts.h"
#include "lib/movie/movie_screen.h"
#include "lib/movie/yuv_to_rgb.h"
#include "platform/display/display_device.h"
#include "platform/display/display_surface.h"

namespace velk {

namespace {

constexpr int kReadChunk = 4096;

enum ThreadState : int32_t { kIdle = 0, kDecoding = 1, kSeeking = 2, kEnded = 3, kHeld = 4 };

struct PageEntry {
    int64_t offset = 0;
    int32_t first_frame = 0;
    int32_t key = 0;
    int32_t count = 0;
};

struct FrameSlot {
    std::atomic<int32_t> valid{0};
    std::atomic<int32_t> frame{-1};
    std::vector<uint8_t> planes[3];
    YuvPlane shape[3];  // sizes and strides; data pointers are set when read
};

void Nap() { std::this_thread::sleep_for(std::chrono::milliseconds(1)); }

// Writes a 4:2:0 picture into a locked YUV surface in its layout; rows are
// `pitch` bytes apart (YV12's chroma rows half that).
void WriteYuvSurface(const YuvPicture& picture, uint32_t four_cc, uint8_t* pixels, int32_t pitch, int32_t height) {
    const YuvPlane& y = picture.y;
    const YuvPlane& u = picture.u;
    const YuvPlane& v = picture.v;
    if (four_cc == platform::kFourCcYv12) {
        for (int32_t r = 0; r < y.height; ++r)
            std::memcpy(pixels + static_cast<size_t>(r) * pitch, y.data + static_cast<size_t>(r) * y.stride,
                        static_cast<size_t>(y.width));
        const int32_t half = pitch / 2;
        uint8_t* v_plane = pixels + static_cast<size_t>(pitch) * height;
        uint8_t* u_plane = v_plane + static_cast<size_t>(half) * ((height + 1) / 2);
        for (int32_t r = 0; r < u.height; ++r) {
            std::memcpy(v_plane + static_cast<size_t>(r) * half, v.data + static_cast<size_t>(r) * v.stride,
                        static_cast<size_t>(v.width));
            std::memcpy(u_plane + static_cast<size_t>(r) * half, u.data + static_cast<size_t>(r) * u.stride,
                        static_cast<size_t>(u.width));
        }
        return;
    }
    // YUY2 and UYVY: each pair of pixels shares the U and V of its 2 x 2 block.
    const bool yuy2 = four_cc == platform::kFourCcYuy2;
    for (int32_t r = 0; r < y.height; ++r) {
        const uint8_t* luma = y.data + static_cast<size_t>(r) * y.stride;
        const uint8_t* cb = u.data + static_cast<size_t>(r / 2) * u.stride;
        const uint8_t* cr = v.data + static_cast<size_t>(r / 2) * v.stride;
        uint8_t* out = pixels + static_cast<size_t>(r) * pitch;
        for (int32_t c = 0; c < u.width; ++c, out += 4) {
            if (yuy2) {
                out[0] = luma[c * 2];
                out[1] = cb[c];
                out[2] = luma[c * 2 + 1];
                out[3] = cr[c];
            } else {
                out[0] = cb[c];
                out[1] = luma[c * 2];
                out[2] = cr[c];
                out[3] = luma[c * 2 + 1];
            }
        }
    }
}
void Yield() { std::this_thread::yield(); }

}  // namespace

class TheoraMovieData {
public:
    // Handover fields.
    std::atomic<int32_t> thread_state{kHeld};
    std::atomic<int32_t> hold{1};
    std::atomic<int32_t> stop{0};
    std::atomic<int32_t> seek_request{0};
    std::atomic<int32_t> seek_target{0};
    std::atomic<int32_t> end_of_data{0};
    std::atomic<int32_t> display_frame{-1};
    std::atomic<int32_t> decoder_frame{-1};
    // The slot the main thread is reading; the thread never rewrites it.
    std::atomic<int32_t> reading_slot{-1};

    StreamData stream;
    std::thread thread;
    bool thread_started = false;

    ogg_sync_state sync{};
    ogg_page page{};
    ogg_stream_state video{};
    bool video_open = false;
    th_info info{};
    th_comment comment{};
    th_setup_info* setup = nullptr;
    th_dec_ctx* decoder = nullptr;
    int32_t header_count = 0;

    std::vector<PageEntry> pages;
    std::vector<uint8_t> key_flags;
    int32_t frame_count = 0;
    // The number of the next video packet the stream gives (decode thread).
    int32_t next_packet_frame = 0;
    // Whether the decoder has made a picture yet: before that its output
    // names no frame buffer at all.
    bool has_picture = false;

    std::vector<FrameSlot> stock;
    int32_t stock_size = 0;
    GraphImage frame_image;
    bool image_up_to_date = false;
    // The shown frame as the display's YUV layout wants it (null when the
    // display makes none).
    std::shared_ptr<platform::DdSurface> yuv_surface;
    uint32_t yuv_four_cc = 0;
    bool surface_up_to_date = false;

    TheoraMovieData() {
        ogg_sync_init(&sync);
        th_info_init(&info);
        th_comment_init(&comment);
    }
    ~TheoraMovieData() {
        if (decoder) th_decode_free(decoder);
        if (setup) th_setup_free(setup);
        if (video_open) ogg_stream_clear(&video);
        th_comment_clear(&comment);
        th_info_clear(&info);
        ogg_sync_clear(&sync);
        ReleaseGraphImage(&frame_image);
    }

    // --- reading ---
    int ReadChunk() {
        char* buffer = ogg_sync_buffer(&sync, kReadChunk);
        if (buffer == nullptr) return 0;
        const size_t got = stream.functions.read(buffer, 1, kReadChunk, stream.data);
        const int count = static_cast<int>(std::min<size_t>(got, kReadChunk));
        ogg_sync_wrote(&sync, count);
        return count;
    }
    // The next whole page into `page`; false at the end of the file. With
    // `offset`, the page's file offset (counting skipped bytes too).
    bool NextPage(int64_t* offset = nullptr, int64_t* position = nullptr) {
        for (;;) {
            const long r = ogg_sync_pageseek(&sync, &page);
            if (r > 0) {
                if (offset) *offset = *position;
                if (position) *position += r;
                return true;
            }
            if (r < 0) {
                if (position) *position += -r;
                continue;
            }
            if (ReadChunk() == 0) return false;
        }
    }
    void Restart(int64_t offset) {
        ogg_sync_reset(&sync);
        ogg_stream_reset(&video);
        stream.functions.seek(stream.data, offset, kSeekSet);
    }

    // --- open ---
    bool ReadHeaders() {
        // Beginning-of-stream pages: the first stream whose first packet
        // Theora accepts is the video.
        for (;;) {
            if (!NextPage()) return false;
            if (!ogg_page_bos(&page)) break;
            if (video_open) continue;
            ogg_stream_state test;
            ogg_stream_init(&test, ogg_page_serialno(&page));
            ogg_stream_pagein(&test, &page);
            ogg_packet packet;
            if (ogg_stream_packetout(&test, &packet) == 1 && th_decode_headerin(&info, &comment, &setup, &packet) > 0) {
                video = test;
                video_open = true;
                header_count = 1;
            } else {
                ogg_stream_clear(&test);
            }
        }
        if (!video_open) return false;
        ogg_stream_pagein(&video, &page);
        while (header_count < 3) {
            ogg_packet packet;
            const int r = ogg_stream_packetout(&video, &packet);
            if (r < 0) return false;
            if (r == 0) {
                if (!NextPage()) return false;
                ogg_stream_pagein(&video, &page);
                continue;
            }
            if (th_decode_headerin(&info, &comment, &setup, &packet) <= 0) return false;
            ++header_count;
        }
        return true;
    }

    // Every page that completes a video packet, and every frame's key flag.
    bool ScanIndex() {
        Restart(0);
        int64_t position = 0;
        int64_t page_offset = 0;
        try {
            pages.reserve(1000);
        } catch (const std::bad_alloc&) {
            WriteLog(movie_text::kTheoraPageIndexNoMemory);
            return false;
        }
        try {
            key_flags.reserve(1000);
        } catch (const std::bad_alloc&) {
            WriteLog(movie_text::kTheoraKeyFlagsNoMemory);
            return false;
        }
        try {
            while (NextPage(&page_offset, &position)) {
                if (ogg_stream_pagein(&video, &page) != 0) continue;
                bool new_page = true;
                ogg_packet packet;
                int r;
                while ((r = ogg_stream_packetout(&video, &packet)) != 0) {
                    if (r < 0) continue;
                    const int key = th_packet_iskeyframe(&packet);
                    if (key < 0) continue;
                    if (frame_count == INT32_MAX) return false;
                    if (new_page) {
                        pages.push_back(PageEntry{page_offset, frame_count, 0, 0});
                        new_page = false;
                    }
                    key_flags.push_back(key == 1 ? 1 : 0);
                    if (key == 1) pages.back().key = 1;
                    ++pages.back().count;
                    ++frame_count;
                }
            }
        } catch (const std::bad_alloc&) {
            WriteLog(movie_text::kTheoraPageIndexNoMemory);
            return false;
        }
        if (!pages.empty()) pages.front().offset = 0;
        return true;
    }

    // --- decode thread ---
    // Decodes up to frame `want` (at or after the next packet); packets
    // before the last key frame on the way are passed over. False when the
    // file ended first.
    bool DecodeTo(int32_t want) {
        int32_t key = -1;
        for (int32_t f = std::min(want, frame_count - 1); f >= next_packet_frame && f >= 0; --f) {
            if (key_flags[static_cast<size_t>(f)]) {
                key = f;
                break;
            }
        }
        while (next_packet_frame <= want) {
            ogg_packet packet;
            const int r = ogg_stream_packetout(&video, &packet);
            if (r == 0) {
                if (!NextPage()) return false;
                ogg_stream_pagein(&video, &page);
                continue;
            }
            if (r < 0 || th_packet_iskeyframe(&packet) < 0) continue;
            const int32_t frame = next_packet_frame++;
            if (key < 0 || frame >= key) {
                const int r = th_decode_packetin(decoder, &packet, nullptr);
                if (r == 0) has_picture = true;
            }
        }
        decoder_frame.store(want);
        return true;
    }

    // Puts the decoder on `target` starting from the nearest earlier page
    // that holds a key frame. -1 no page holds it, 0 the file ended, 1 done.
    int SeekDecoder(int32_t target) {
        size_t e = 0;
        while (e < pages.size() && pages[e].first_frame + pages[e].count <= target)
            ++e;
        if (e == pages.size()) return -1;
        if (e != 0) {
            --e;
            while (e > 0 && !pages[e].key)
                --e;
            if (e > 0) --e;
        }
        Restart(pages[e].offset);
        next_packet_frame = pages[e].first_frame;
        if (e != 0) {
            if (!NextPage()) return 0;
            // The head of a packet begun on the page before is lost.
            if (ogg_page_continued(&page)) ++next_packet_frame;
            ogg_stream_pagein(&video, &page);
        }
        return DecodeTo(target) ? 1 : 0;
    }

    bool InStock(int32_t frame) const {
        for (const FrameSlot& s : stock) {
            if (s.valid.load() && s.frame.load() == frame) return true;
        }
        return false;
    }

    // Frames from the shown one up to stock-size ahead (wrapping) are kept.
    bool InWindow(int32_t frame, int32_t display) const {
        const int32_t distance = ((frame - display) % frame_count + frame_count) % frame_count;
        return distance < stock_size;
    }

    // False when no picture can be stored (nothing decoded yet, a picture
    // of another size than the stream's, or no memory for its planes).
    bool StoreFrame(FrameSlot& slot, int32_t frame) {
        th_ycbcr_buffer buffer;
        if (!has_picture || th_decode_ycbcr_out(decoder, buffer) != 0) return false;
        for (int i = 0; i < 3; ++i) {
            const th_img_plane& p = buffer[i];
            if (p.data == nullptr || p.width <= 0 || p.height <= 0 || p.width > static_cast<int>(info.frame_width) ||
                p.height > static_cast<int>(info.frame_height) || std::abs(p.stride) < p.width) {
                return false;
            }
        }
        try {
            CopyPlanes(slot, buffer);
        } catch (const std::bad_alloc&) {
            return false;
        }
        slot.frame.store(frame);
        slot.valid.store(1);
        return true;
    }

    static void CopyPlanes(FrameSlot& slot, th_ycbcr_buffer buffer) {
        for (int i = 0; i < 3; ++i) {
            const th_img_plane& p = buffer[i];
            const int32_t stride = std::abs(p.stride);
            const size_t bytes = static_cast<size_t>(stride) * static_cast<size_t>(std::max(p.height, 0));
            if (slot.shape[i].width != p.width || slot.shape[i].height != p.height || slot.shape[i].stride != stride) {
                slot.planes[i].assign(bytes, 0);
                slot.shape[i] = YuvPlane{nullptr, p.width, p.height, stride};
            }
            for (int row = 0; row < p.height; ++row) {
                std::memcpy(slot.planes[i].data() + static_cast<size_t>(row) * stride,
                            p.data + static_cast<ptrdiff_t>(row) * p.stride, static_cast<size_t>(stride));
            }
        }
    }

    void EmptyStock() {
        for (FrameSlot& s : stock)
            s.valid.store(0);
    }

    void Run() {
        while (!stop.load()) {
            if (hold.load()) {
                thread_state.store(kHeld);
                Nap();
                continue;
            }
            if (seek_request.load()) {
                thread_state.store(kSeeking);
                if (hold.load()) continue;
                const int32_t target = seek_target.load();
                const int r = SeekDecoder(target);
                if (r < 0) break;
                EmptyStock();
                end_of_data.store(r == 0 ? 1 : 0);
                seek_request.store(0);
                continue;
            }
            const int32_t display = display_frame.load();
            if (end_of_data.load() || display < 0) {
                Nap();
                continue;
            }
            const int32_t reading = reading_slot.load();
            for (size_t i = 0; i < stock.size(); ++i) {
                FrameSlot& s = stock[i];
                if (s.valid.load() && !InWindow(s.frame.load(), display)) s.valid.store(0);
            }
            FrameSlot* free_slot = nullptr;
            for (size_t i = 0; i < stock.size(); ++i) {
                if (!stock[i].valid.load() && static_cast<int32_t>(i) != reading &&
                    static_cast<int32_t>(i) != reading_slot.load()) {
                    free_slot = &stock[i];
                    break;
                }
            }
            int32_t want = -1;
            if (free_slot) {
                for (int32_t k = 0; k < std::min(stock_size, frame_count); ++k) {
                    const int32_t f = (display + k) % frame_count;
                    if (!InStock(f)) {
                        want = f;
                        break;
                    }
                }
            }
            if (want < 0) {
                thread_state.store(kIdle);
                Yield();
                continue;
            }
            thread_state.store(kDecoding);
            if (hold.load() || seek_request.load()) continue;
            const int32_t at = decoder_frame.load();
            bool ok = true;
            if (want > at) {
                ok = DecodeTo(want);
            } else if (want < at) {
                const int r = SeekDecoder(want);
                if (r < 0) break;
                ok = r == 1;
            }
            if (!ok) {
                end_of_data.store(1);
                Nap();
                continue;
            }
            if (!StoreFrame(*free_slot, want)) {
                end_of_data.store(1);
                continue;
            }
            Yield();
        }
        thread_state.store(kEnded);
    }
};

namespace {

void EndThread(TheoraMovieData* m) {
    if (m->thread_started) {
        m->stop.store(1);
        m->thread.join();
        m->thread_started = false;
    }
}

}  // namespace

TheoraMovieData* OpenTheoraMovie(const StreamData& stream, int stock_size) {
    char magic[4] = {};
    if (stream.functions.read(magic, 1, 4, stream.data) != 4 || std::memcmp(magic, "OggS", 4) != 0) {
        return nullptr;
    }
    stream.functions.seek(stream.data, 0, kSeekSet);
    TheoraMovieData* m = new (std::nothrow) TheoraMovieData();
    if (m == nullptr) {
        WriteLog(movie_text::kTheoraRecordNoMemory);
        return nullptr;
    }
    m->stream = stream;
    m->stock_size = std::max(stock_size, 1);
    auto fail = [m]() -> TheoraMovieData* {
        EndThread(m);
        delete m;
        return nullptr;
    };
    if (!m->ReadHeaders()) return fail();
    // A movie with no picture size or no frame rate cannot be shown or timed.
    if (m->info.frame_width == 0 || m->info.frame_height == 0 || m->info.fps_numerator == 0 ||
        m->info.fps_denominator == 0) {
        return fail();
    }
    // The image first: its size limit also bounds what the decoder takes.
    if (CreateXRGB32GraphImage(static_cast<int>(m->info.frame_width), static_cast<int>(m->info.frame_height),
                               &m->frame_image) != 0) {
        WriteLog(movie_text::kTheoraFrameImageNoMemory);
        return fail();
    }
    CreateTheoraYuvSurface(m);
    m->decoder = th_decode_alloc(&m->info, m->setup);
    if (m->decoder == nullptr) return fail();
    if (!m->ScanIndex()) return fail();
    // A movie without frames has nothing to show.
    if (m->frame_count == 0) return fail();
    try {
        m->stock = std::vector<FrameSlot>(static_cast<size_t>(m->stock_size));
    } catch (const std::bad_alloc&) {
        WriteLog(movie_text::kTheoraStockNoMemory);
        return fail();
    }
    m->Restart(0);
    m->next_packet_frame = 0;
    try {
        m->thread = std::thread([m] { m->Run(); });
        m->thread_started = true;
    } catch (const std::system_error&) {
        WriteLog(movie_text::kTheoraThreadFailed);
        return fail();
    }
    SeekTheoraFrame(m, 0);
    ConvertTheoraFrame(m, 1, 1);
    return m;
}

int CloseTheoraMovie(TheoraMovieData* m) {
    if (m == nullptr) return 0;
    EndThread(m);
    delete m;
    return 0;
}

int SeekTheoraFrame(TheoraMovieData* m, int32_t frame) {
    if (m == nullptr || frame == m->display_frame.load()) return 0;
    m->image_up_to_date = false;
    m->surface_up_to_date = false;
    m->hold.store(1);
    for (;;) {
        const int32_t state = m->thread_state.load();
        if (state == kHeld || state == kEnded) break;
        Yield();
    }
    frame = std::clamp(frame, 0, m->frame_count - 1);
    m->display_frame.store(frame);
    m->seek_target.store(frame);
    m->seek_request.store(1);
    m->hold.store(0);
    return 0;
}

int AdvanceTheoraFrame(TheoraMovieData* m, int32_t frames) {
    if (m == nullptr || frames < 1) return 0;
    const int64_t next = static_cast<int64_t>(m->display_frame.load()) + frames;
    m->display_frame.store(static_cast<int32_t>(next % m->frame_count));
    m->image_up_to_date = false;
    m->surface_up_to_date = false;
    return 0;
}

int ConvertTheoraFrame(TheoraMovieData* m, int to_image, int to_surface) {
    if (m == nullptr) return 0;
    const bool image_wanted = to_image != 0 && !m->image_up_to_date;
    const bool surface_wanted = to_surface != 0 && !m->surface_up_to_date && m->yuv_surface;
    if (!image_wanted && !surface_wanted) return 0;
    const int32_t display = m->display_frame.load();
    int32_t found = -1;
    for (;;) {
        if (m->seek_request.load() || m->thread_state.load() == kSeeking) {
            if (m->thread_state.load() == kEnded) return 0;
            Nap();
            continue;
        }
        if (m->thread_state.load() == kEnded) return 0;
        for (size_t i = 0; i < m->stock.size() && found < 0; ++i) {
            FrameSlot& s = m->stock[i];
            if (!s.valid.load() || s.frame.load() != display) continue;
            m->reading_slot.store(static_cast<int32_t>(i));
            if (s.valid.load() && s.frame.load() == display) {
                found = static_cast<int32_t>(i);
            } else {
                m->reading_slot.store(-1);
            }
        }
        if (found >= 0) break;
        if (m->end_of_data.load()) return 0;
        Yield();
    }
    FrameSlot& slot = m->stock[static_cast<size_t>(found)];
    YuvPicture picture;
    YuvPlane* planes[3] = {&picture.y, &picture.u, &picture.v};
    for (int i = 0; i < 3; ++i) {
        *planes[i] = slot.shape[i];
        planes[i]->data = slot.planes[i].data();
    }
    bool converted = false;
    if (surface_wanted) {
        // A lost surface is made again and locked again, three tries in all.
        platform::DdSurfaceDesc desc;
        bool locked = false;
        for (int attempt = 0; attempt < 3 && m->yuv_surface && !locked; ++attempt) {
            locked = m->yuv_surface->Lock(nullptr, &desc, platform::kDdLockWriteOnly) == platform::kDdOk;
            if (!locked) CreateTheoraYuvSurface(m);
        }
        if (locked) {
            // Only 4:2:0 frames fit the layouts; others leave the surface as it was.
            if (IsYuv420(picture) && picture.y.width <= static_cast<int32_t>(desc.width) &&
                picture.y.height <= static_cast<int32_t>(desc.height)) {
                WriteYuvSurface(picture, m->yuv_four_cc, static_cast<uint8_t*>(desc.surface), desc.pitch,
                                static_cast<int32_t>(desc.height));
            }
            m->yuv_surface->Unlock(nullptr);
            m->surface_up_to_date = true;
            converted = true;
        }
    }
    if (image_wanted) {
        ConvertYuvToXrgb(picture, m->frame_image.pixels, m->frame_image.pitch, m->frame_image.width,
                         m->frame_image.height);
        m->image_up_to_date = true;
        converted = true;
    }
    m->reading_slot.store(-1);
    return converted ? 1 : 0;
}

int CreateTheoraYuvSurface(TheoraMovieData* m) {
    if (m == nullptr) return 0;
    m->yuv_surface.reset();
    m->yuv_four_cc = 0;
    m->surface_up_to_date = false;
    platform::DdDevice* device = CurrentMovieScreen().direct_draw();
    if (device == nullptr) return 0;
    for (const uint32_t four_cc : {platform::kFourCcYv12, platform::kFourCcYuy2, platform::kFourCcUyvy}) {
        platform::DdSurfaceDesc desc;
        desc.flags = platform::kDdsdCaps | platform::kDdsdHeight | platform::kDdsdWidth | platform::kDdsdPixelFormat;
        desc.width = m->info.frame_width;
        desc.height = m->info.frame_height;
        desc.caps = platform::kDdsCapsVideoMemory;
        desc.pixel_format.size = sizeof(platform::DdPixelFormat);
        desc.pixel_format.flags = platform::kPixelFormatFourCc;
        desc.pixel_format.four_cc = four_cc;
        std::shared_ptr<platform::DdSurface> surface;
        if (device->CreateSurface(desc, &surface) == platform::kDdOk && surface) {
            m->yuv_surface = std::move(surface);
            m->yuv_four_cc = four_cc;
            return 0;
        }
    }
    return 0;
}

int ReadTheoraYuvSurface(TheoraMovieData* m) {
    if (m == nullptr || !m->yuv_surface) return -1;
    platform::DdSurfaceDesc desc;
    if (m->yuv_surface->Lock(nullptr, &desc, platform::kDdLockReadOnly) != platform::kDdOk) return -1;
    const uint8_t* pixels = static_cast<const uint8_t*>(desc.surface);
    const int32_t width = static_cast<int32_t>(desc.width);
    const int32_t height = static_cast<int32_t>(desc.height);
    const int32_t pitch = desc.pitch;
    YuvPicture picture;
    std::vector<uint8_t> planes;
    if (m->yuv_four_cc == platform::kFourCcYv12) {
        const uint8_t* v_plane = pixels + static_cast<size_t>(pitch) * height;
        const uint8_t* u_plane = v_plane + static_cast<size_t>(pitch / 2) * ((height + 1) / 2);
        picture.y = YuvPlane{pixels, width, height, pitch};
        picture.u = YuvPlane{u_plane, (width + 1) / 2, (height + 1) / 2, pitch / 2};
        picture.v = YuvPlane{v_plane, (width + 1) / 2, (height + 1) / 2, pitch / 2};
    } else {
        // The packed layouts hold each block's chroma on both its rows: the
        // first row's gives back the 4:2:0 planes written into it.
        const int32_t chroma_width = width / 2;
        const int32_t chroma_height = (height + 1) / 2;
        planes.resize(static_cast<size_t>(width) * height + 2 * static_cast<size_t>(chroma_width) * chroma_height);
        uint8_t* y = planes.data();
        uint8_t* u = y + static_cast<size_t>(width) * height;
        uint8_t* v = u + static_cast<size_t>(chroma_width) * chroma_height;
        const bool yuy2 = m->yuv_four_cc == platform::kFourCcYuy2;
        for (int32_t r = 0; r < height; ++r) {
            const uint8_t* in = pixels + static_cast<size_t>(r) * pitch;
            for (int32_t c = 0; c < chroma_width; ++c, in += 4) {
                y[static_cast<size_t>(r) * width + c * 2] = in[yuy2 ? 0 : 1];
                y[static_cast<size_t>(r) * width + c * 2 + 1] = in[yuy2 ? 2 : 3];
                if (r % 2 == 0) {
                    u[static_cast<size_t>(r / 2) * chroma_width + c] = in[yuy2 ? 1 : 0];
                    v[static_cast<size_t>(r / 2) * chroma_width + c] = in[yuy2 ? 3 : 2];
                }
            }
        }
        picture.y = YuvPlane{y, width, height, width};
        picture.u = YuvPlane{u, chroma_width, chroma_height, chroma_width};
        picture.v = YuvPlane{v, chroma_width, chroma_height, chroma_width};
    }
    ConvertYuvToXrgb(picture, m->frame_image.pixels, m->frame_image.pitch, m->frame_image.width, m->frame_image.height);
    m->yuv_surface->Unlock(nullptr);
    return 0;
}

platform::DdSurface* GetTheoraYuvSurface(TheoraMovieData* m) { return m ? m->yuv_surface.get() : nullptr; }

uint32_t GetTheoraYuvFourCc(const TheoraMovieData* m) { return m ? m->yuv_four_cc : 0; }

GraphImage* GetTheoraFrameImage(TheoraMovieData* m) { return m ? &m->frame_image : nullptr; }

int GetTheoraMovieInfo(const TheoraMovieData* m, TheoraMovieInfo* info) {
    if (m == nullptr || info == nullptr) return 0;
    info->frames_per_second = static_cast<double>(m->info.fps_numerator) / m->info.fps_denominator;
    info->frame_count = m->frame_count;
    info->width = static_cast<int32_t>(m->info.frame_width);
    info->height = static_cast<int32_t>(m->info.frame_height);
    return 0;
}

int32_t GetTheoraCurrentFrame(const TheoraMovieData* m) { return m ? m->display_frame.load() : -1; }

TheoraIndexSummary GetTheoraIndexSummary(const TheoraMovieData* m) {
    TheoraIndexSummary s;
    if (m == nullptr) return s;
    s.page_entries = static_cast<int32_t>(m->pages.size());
    for (size_t f = 0; f < m->key_flags.size(); ++f) {
        if (!m->key_flags[f]) continue;
        if (s.key_frames < 8) s.first_key_frames[s.key_frames] = static_cast<int32_t>(f);
        ++s.key_frames;
    }
    return s;
}

}  // namespace velk
