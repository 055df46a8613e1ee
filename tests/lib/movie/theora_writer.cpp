#include "tests/lib/movie/theora_writer.h"

#include <cmath>
#include <cstring>

#include <ogg/ogg.h>
#include <theora/theoradec.h>
#include <theora/theoraenc.h>
#include <vorbis/vorbisenc.h>

#include "lib/movie/yuv_to_rgb.h"

namespace velk::testing {

namespace {

void Append(std::vector<uint8_t>& out, const ogg_page& page) {
    out.insert(out.end(), page.header, page.header + page.header_len);
    out.insert(out.end(), page.body, page.body + page.body_len);
}

void Drain(std::vector<uint8_t>& out, ogg_stream_state& stream, bool flush) {
    ogg_page page;
    while (flush ? ogg_stream_flush(&stream, &page) : ogg_stream_pageout(&stream, &page))
        Append(out, page);
}

}  // namespace

std::vector<uint8_t> MakeTheoraMovie(const TheoraMovieShape& shape) {
    std::vector<uint8_t> out;
    th_info info;
    th_info_init(&info);
    info.frame_width = shape.width;
    info.frame_height = shape.height;
    info.pic_width = shape.width;
    info.pic_height = shape.height;
    info.fps_numerator = shape.fps_numerator;
    info.fps_denominator = shape.fps_denominator;
    info.aspect_numerator = 1;
    info.aspect_denominator = 1;
    info.colorspace = TH_CS_UNSPECIFIED;
    info.pixel_fmt = shape.chroma == 444 ? TH_PF_444 : shape.chroma == 422 ? TH_PF_422 : TH_PF_420;
    info.quality = 40;
    info.keyframe_granule_shift = 6;
    th_enc_ctx* encoder = th_encode_alloc(&info);
    int interval = shape.key_interval;
    th_encode_ctl(encoder, TH_ENCCTL_SET_KEYFRAME_FREQUENCY_FORCE, &interval, sizeof(interval));
    ogg_stream_state video;
    ogg_stream_init(&video, 0x1234);
    th_comment comment;
    th_comment_init(&comment);
    ogg_packet packet;
    bool first = true;
    std::vector<ogg_packet> later_headers;
    std::vector<std::vector<uint8_t>> later_bytes;
    while (th_encode_flushheader(encoder, &comment, &packet) > 0) {
        ogg_stream_packetin(&video, &packet);
        if (first) {
            Drain(out, video, true);
            first = false;
        }
    }
    // The Vorbis track: its first header on its own page right after the
    // Theora one, its other headers after.
    vorbis_info vi;
    vorbis_dsp_state vd;
    vorbis_block vb;
    vorbis_comment vc;
    ogg_stream_state audio;
    if (shape.vorbis_track) {
        vorbis_info_init(&vi);
        vorbis_encode_init_vbr(&vi, 1, 22050, 0.2f);
        vorbis_comment_init(&vc);
        vorbis_analysis_init(&vd, &vi);
        vorbis_block_init(&vd, &vb);
        ogg_stream_init(&audio, 0x5678);
        ogg_packet h[3];
        vorbis_analysis_headerout(&vd, &vc, &h[0], &h[1], &h[2]);
        ogg_stream_packetin(&audio, &h[0]);
        Drain(out, audio, true);
        ogg_stream_packetin(&audio, &h[1]);
        ogg_stream_packetin(&audio, &h[2]);
        Drain(out, audio, true);
    }
    Drain(out, video, true);

    th_ycbcr_buffer buffer;
    const int cw = shape.chroma == 444 ? shape.width : shape.width / 2;
    const int ch = shape.chroma == 420 ? shape.height / 2 : shape.height;
    std::vector<uint8_t> y(static_cast<size_t>(shape.width * shape.height));
    std::vector<uint8_t> u(static_cast<size_t>(cw * ch)), v(static_cast<size_t>(cw * ch));
    buffer[0] = {shape.width, shape.height, shape.width, y.data()};
    buffer[1] = {cw, ch, cw, u.data()};
    buffer[2] = {cw, ch, cw, v.data()};
    uint32_t noise = 1;
    for (int f = 0; f < shape.frames; ++f) {
        for (int r = 0; r < shape.height; ++r) {
            for (int c = 0; c < shape.width; ++c) {
                int value = 16 + ((c * 3 + r * 2 + f * 11) % 200);
                // A block that moves one step per frame.
                const int bx = (f * 3) % shape.width;
                if (c >= bx && c < bx + 8 && r >= 8 && r < 24) value = 230;
                if (shape.noise) {
                    noise = noise * 1103515245u + 12345u;
                    value = 16 + static_cast<int>((noise >> 16) % 220);
                }
                y[static_cast<size_t>(r * shape.width + c)] = static_cast<uint8_t>(value);
            }
        }
        for (int r = 0; r < ch; ++r) {
            for (int c = 0; c < cw; ++c) {
                u[static_cast<size_t>(r * cw + c)] = static_cast<uint8_t>(64 + (f * 9 + c * 4) % 128);
                v[static_cast<size_t>(r * cw + c)] = static_cast<uint8_t>(64 + (f * 5 + r * 6) % 128);
            }
        }
        th_encode_ycbcr_in(encoder, buffer);
        while (th_encode_packetout(encoder, f == shape.frames - 1, &packet) > 0) {
            ogg_stream_packetin(&video, &packet);
        }
        Drain(out, video, false);
        if (shape.vorbis_track) {
            // 1/fps seconds of a 440 Hz tone per frame.
            const int samples = 22050 * shape.fps_denominator / shape.fps_numerator;
            float** pcm = vorbis_analysis_buffer(&vd, samples);
            for (int i = 0; i < samples; ++i) {
                pcm[0][i] = 0.3f * std::sin(2 * 3.14159265f * 440.0f * (f * samples + i) / 22050.0f);
            }
            vorbis_analysis_wrote(&vd, samples);
            if (f == shape.frames - 1) vorbis_analysis_wrote(&vd, 0);
            while (vorbis_analysis_blockout(&vd, &vb) == 1) {
                vorbis_analysis(&vb, nullptr);
                vorbis_bitrate_addblock(&vb);
                ogg_packet ap;
                while (vorbis_bitrate_flushpacket(&vd, &ap))
                    ogg_stream_packetin(&audio, &ap);
            }
            Drain(out, audio, false);
        }
    }
    Drain(out, video, true);
    if (shape.vorbis_track) {
        Drain(out, audio, true);
        ogg_stream_clear(&audio);
        vorbis_block_clear(&vb);
        vorbis_dsp_clear(&vd);
        vorbis_comment_clear(&vc);
        vorbis_info_clear(&vi);
    }
    ogg_stream_clear(&video);
    th_comment_clear(&comment);
    th_encode_free(encoder);
    th_info_clear(&info);
    return out;
}

namespace {

// Calls `take` with every decoded picture of the file, in order.
template <typename Take>
void DecodeEveryFrame(const std::vector<uint8_t>& file, Take take) {
    ogg_sync_state sync;
    ogg_sync_init(&sync);
    char* into = ogg_sync_buffer(&sync, static_cast<long>(file.size()));
    std::memcpy(into, file.data(), file.size());
    ogg_sync_wrote(&sync, static_cast<long>(file.size()));
    th_info info;
    th_info_init(&info);
    th_comment comment;
    th_comment_init(&comment);
    th_setup_info* setup = nullptr;
    th_dec_ctx* decoder = nullptr;
    ogg_stream_state stream;
    bool have_stream = false;
    ogg_page page;
    while (ogg_sync_pageout(&sync, &page) == 1) {
        if (!have_stream) {
            if (!ogg_page_bos(&page)) continue;
            ogg_stream_init(&stream, ogg_page_serialno(&page));
            ogg_stream_pagein(&stream, &page);
            ogg_packet p;
            if (ogg_stream_packetout(&stream, &p) == 1 && th_decode_headerin(&info, &comment, &setup, &p) > 0) {
                have_stream = true;
            } else {
                ogg_stream_clear(&stream);
            }
            continue;
        }
        if (ogg_stream_pagein(&stream, &page) != 0) continue;
        ogg_packet p;
        while (ogg_stream_packetout(&stream, &p) == 1) {
            if (decoder == nullptr) {
                if (th_decode_headerin(&info, &comment, &setup, &p) > 0) continue;
                decoder = th_decode_alloc(&info, setup);
            }
            th_decode_packetin(decoder, &p, nullptr);
            th_ycbcr_buffer out;
            th_decode_ycbcr_out(decoder, out);
            YuvPicture picture;
            YuvPlane* planes[3] = {&picture.y, &picture.u, &picture.v};
            for (int i = 0; i < 3; ++i)
                *planes[i] = YuvPlane{out[i].data, out[i].width, out[i].height, out[i].stride};
            take(picture, info);
        }
    }
    if (decoder) th_decode_free(decoder);
    if (setup) th_setup_free(setup);
    if (have_stream) ogg_stream_clear(&stream);
    th_comment_clear(&comment);
    th_info_clear(&info);
    ogg_sync_clear(&sync);
}

}  // namespace

std::vector<std::vector<uint8_t>> ReferenceFrames(const std::vector<uint8_t>& file) {
    std::vector<std::vector<uint8_t>> frames;
    DecodeEveryFrame(file, [&](const YuvPicture& picture, const th_info& info) {
        std::vector<uint8_t> pixels(static_cast<size_t>(info.frame_width * info.frame_height * 4));
        ConvertYuvToXrgb(picture, pixels.data(), static_cast<int>(info.frame_width * 4),
                         static_cast<int>(info.frame_width), static_cast<int>(info.frame_height));
        frames.push_back(std::move(pixels));
    });
    return frames;
}

std::vector<ReferenceYuvFrame> ReferenceYuvFrames(const std::vector<uint8_t>& file) {
    std::vector<ReferenceYuvFrame> frames;
    DecodeEveryFrame(file, [&](const YuvPicture& picture, const th_info&) {
        ReferenceYuvFrame frame;
        const YuvPlane* from[3] = {&picture.y, &picture.u, &picture.v};
        std::vector<uint8_t>* to[3] = {&frame.y, &frame.u, &frame.v};
        frame.width = picture.y.width;
        frame.height = picture.y.height;
        frame.chroma_width = picture.u.width;
        frame.chroma_height = picture.u.height;
        for (int i = 0; i < 3; ++i)
            for (int r = 0; r < from[i]->height; ++r)
                to[i]->insert(to[i]->end(), from[i]->data + static_cast<size_t>(r) * from[i]->stride,
                              from[i]->data + static_cast<size_t>(r) * from[i]->stride + from[i]->width);
        frames.push_back(std::move(frame));
    });
    return frames;
}

}  // namespace velk::testing
