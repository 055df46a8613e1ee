// Movie handles on movies made in the test: Theora frames by the clock,
// looping and stopping, pause on deactivation and resume, the table's
// refusals; media-stream movies (MPEG-1 made with ffmpeg) by name and from an
// archive through a temporary copy.

#include "lib/movie/movie_handles.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "lib/core/files/archive_reader.h"
#include "lib/core/files/file_access.h"
#include "lib/core/files/file_operations.h"
#include "lib/core/files/plain_file.h"
#include "lib/core/log.h"
#include "lib/movie/movie_log_texts.h"
#include "lib/movie/theora_movie.h"
#include "lib/sound/sound.h"
#include "platform/audio/manual_audio.h"
#include "platform/base/clock.h"
#include "platform/base/debug_output.h"
#include "platform/file/path_resolver.h"
#include "platform/movie/media_stream.h"
#include "tests/lib/core/files/files_fixture.h"
#include "tests/lib/movie/movie_test_support.h"
#include "tests/lib/movie/theora_writer.h"
#include "tests/support/scratch_dir.h"
#include "tools/archive/archive_writer.h"

namespace velk::testing {
namespace {

// What the frame callback saw, as reference frame numbers.
struct Seen {
    const std::vector<std::vector<uint8_t>>* reference = nullptr;
    std::vector<int> frames;
    int calls = 0;
};

void RecordFrame(MovieData* movie, void* data) {
    Seen* seen = static_cast<Seen*>(data);
    ++seen->calls;
    if (movie->theora) ConvertTheoraFrame(movie->decoder, 1, 0);
    seen->frames.push_back(seen->reference ? WhichFrame(Pixels(*movie->current_frame_image), *seen->reference) : -1);
}

// The file-access fixture's game folder, with every movie closed first.
class MovieHandlesTest : public GameFolderTest {
protected:
    void TearDown() override {
        CloseAllMovies();
        EXPECT_EQ(GetMovieCount(), 0);
        GameFolderTest::TearDown();
    }

    // Opens the movie and has it play from now.
    int OpenPlaying(const char* name, int play_type, Seen* seen) {
        const int movie = OpenMovie(name, nullptr, nullptr, 0);
        EXPECT_NE(movie, -1);
        if (movie == -1) return -1;
        SetMovieFrameCallback(movie, &RecordFrame, seen);
        MovieData* md = GetMovieData(movie);
        md->playing = 1;
        md->play_type = play_type;
        ResumeAllMovies();
        return movie;
    }
    // Sets the clock to a time after the start and updates; the frame shown.
    int ShownAt(int movie, Seen& seen, int64_t us_after_start) {
        clock_.AdvanceMicroseconds(start_us_ + us_after_start - clock_.Microseconds());
        UpdateMovieFrame(movie, 0);
        return seen.frames.empty() ? -2 : seen.frames.back();
    }

    platform::ManualClock clock_{5'000'000};
    platform::ScopedClock scoped_{clock_};
    int64_t start_us_ = 5'000'000;
};

std::vector<uint8_t> TheoraFile(int frames = 30) {
    TheoraMovieShape shape;
    shape.frames = frames;
    return MakeTheoraMovie(shape);
}

TEST_F(MovieHandlesTest, TheoraOpensStoppedWithItsSizeAndHandle) {
    Write("Movie/op.ogv", TheoraFile());
    int w = 0, h = 0;
    const int movie = OpenMovie("movie\\OP.ogv", &w, &h, 0);
    ASSERT_NE(movie, -1);
    EXPECT_EQ(static_cast<uint32_t>(movie) & 0x78000000u, kMovieHandleType);
    EXPECT_EQ(w, 64);
    EXPECT_EQ(h, 48);
    const MovieData* md = GetMovieData(movie);
    ASSERT_NE(md, nullptr);
    EXPECT_EQ(md->theora, 1);
    EXPECT_EQ(md->playing, 0);
    EXPECT_EQ(md->paused, 1);
    EXPECT_EQ(md->play_type, 1);
    EXPECT_EQ(md->sound_track, -1) << "no sound device in this test";
    EXPECT_EQ(OpenPlainFileCount(), 1u) << "the file stays open for the decoder";
    // Stopped: the clock does not move the frame.
    Seen seen;
    seen.reference = nullptr;
    SetMovieFrameCallback(movie, &RecordFrame, &seen);
    clock_.AdvanceMilliseconds(500);
    UpdateMovieFrame(movie, 0);
    EXPECT_EQ(GetTheoraCurrentFrame(md->decoder), 0);
    EXPECT_EQ(seen.calls, 1);
    EXPECT_EQ(md->frame_delivered, 1);
    EXPECT_EQ(CloseMovie(movie), 0);
    EXPECT_EQ(OpenPlainFileCount(), 0u);
    EXPECT_EQ(GetMovieData(movie), nullptr);
    EXPECT_EQ(CloseMovie(movie), -1);
}

TEST_F(MovieHandlesTest, FrameNShowsFromTimeNOverFps) {
    const std::vector<uint8_t> file = TheoraFile();
    const auto reference = ReferenceFrames(file);
    Write("m.ogv", file);
    Seen seen;
    seen.reference = &reference;
    const int movie = OpenPlaying("m.ogv", 1, &seen);
    ASSERT_NE(movie, -1);
    // 25 frames per second: frame n from n x 40000 us on, exactly.
    for (int n : {0, 1, 2, 5, 11, 12, 20, 28, 29}) {
        if (n > 0) {
            EXPECT_EQ(ShownAt(movie, seen, n * 40000LL - 1), n - 1) << "just before frame " << n;
        }
        EXPECT_EQ(ShownAt(movie, seen, n * 40000LL), n) << "at frame " << n;
    }
}

TEST_F(MovieHandlesTest, AMovieThatDoesNotLoopStopsOnItsLastFrame) {
    const std::vector<uint8_t> file = TheoraFile();
    const auto reference = ReferenceFrames(file);
    Write("m.ogv", file);
    Seen seen;
    seen.reference = &reference;
    const int movie = OpenPlaying("m.ogv", 1, &seen);
    MovieData* md = GetMovieData(movie);
    // 4.5 s on: frame 112 by the clock, the last frame shown.
    EXPECT_EQ(ShownAt(movie, seen, 4'500'000), 29);
    EXPECT_EQ(md->playing, 1) << "stops only when it finds the last frame already shown";
    EXPECT_EQ(ShownAt(movie, seen, 4'600'000), 29);
    EXPECT_EQ(md->playing, 0);
    EXPECT_EQ(md->paused, 1);
    EXPECT_EQ(ShownAt(movie, seen, 9'000'000), 29);
}

TEST_F(MovieHandlesTest, ALoopingMovieWrapsByTheClock) {
    const std::vector<uint8_t> file = TheoraFile();
    const auto reference = ReferenceFrames(file);
    Write("m.ogv", file);
    Seen seen;
    seen.reference = &reference;
    const int movie = OpenPlaying("m.ogv", 3, &seen);
    // Frame 112 of 30 is frame 22; then on round the end again.
    EXPECT_EQ(ShownAt(movie, seen, 112 * 40000LL), 22);
    EXPECT_EQ(ShownAt(movie, seen, 119 * 40000LL), 29);
    EXPECT_EQ(ShownAt(movie, seen, 120 * 40000LL), 0);
    EXPECT_EQ(ShownAt(movie, seen, 125 * 40000LL), 5);
    EXPECT_EQ(ShownAt(movie, seen, 152 * 40000LL), 2);
    EXPECT_EQ(GetMovieData(movie)->playing, 1);
}

TEST_F(MovieHandlesTest, DeactivationPausesAndActivationGoesOnFromTheFrameShown) {
    const std::vector<uint8_t> file = TheoraFile();
    const auto reference = ReferenceFrames(file);
    Write("m.ogv", file);
    Seen seen;
    seen.reference = &reference;
    const int movie = OpenPlaying("m.ogv", 1, &seen);
    MovieData* md = GetMovieData(movie);
    EXPECT_EQ(ShownAt(movie, seen, 10 * 40000LL), 10);
    PauseAllMovies();
    EXPECT_EQ(md->paused, 1);
    EXPECT_EQ(md->playing, 1) << "kept for the resume";
    // A long time inactive moves nothing.
    EXPECT_EQ(ShownAt(movie, seen, 50 * 40000LL), 10);
    // Resumed at 50 frames' time: the start time is put back by 10 frames.
    ResumeAllMovies();
    EXPECT_EQ(md->paused, 0);
    EXPECT_EQ(md->start_time, start_us_ + 40 * 40000LL);
    EXPECT_EQ(ShownAt(movie, seen, 50 * 40000LL), 10);
    EXPECT_EQ(ShownAt(movie, seen, 53 * 40000LL), 13);
    // Pausing twice changes nothing; a pause without keep-resume stays.
    EXPECT_EQ(PauseMovie(movie, 0), 0);
    EXPECT_EQ(PauseMovie(movie, 1), 0);
    EXPECT_EQ(md->playing, 0);
    ResumeAllMovies();
    EXPECT_EQ(md->paused, 1);
    EXPECT_EQ(PauseMovie(movie + 1, 0), -1);
}

TEST_F(MovieHandlesTest, TheTableRefusesStaleHandlesAndAHundredAndFirstMovie) {
    Write("m.ogv", TheoraFile(3));
    std::vector<int> movies;
    for (int i = 0; i < kMovieSlots; ++i) {
        movies.push_back(OpenMovie("m.ogv", nullptr, nullptr, 0));
        ASSERT_NE(movies.back(), -1) << i;
    }
    const std::string log_before = LogText();
    EXPECT_EQ(OpenMovie("m.ogv", nullptr, nullptr, 0), -1);
    EXPECT_EQ(LogText(), log_before) << "no log line for a full table";
    const int old = movies[5];
    CloseMovie(old);
    const int fresh = OpenMovie("m.ogv", nullptr, nullptr, 0);
    EXPECT_EQ(fresh & 0xFFFF, old & 0xFFFF) << "the freed slot is reused";
    EXPECT_NE(fresh, old);
    EXPECT_EQ(GetMovieData(old), nullptr);
    EXPECT_EQ(SetMovieFrameCallback(old, &RecordFrame, nullptr), -1);
    EXPECT_EQ(UpdateMovieFrame(old, 0), 0);
    EXPECT_EQ(GetMovieData(-1), nullptr);
    EXPECT_EQ(GetMovieData(fresh & 0xFFFF), nullptr) << "a plain slot number is no handle";
}

TEST_F(MovieHandlesTest, AFileNoDecoderTakesIsRefusedWithTheLogLines) {
    Write("bad.ogv", std::vector<uint8_t>{'O', 'g', 'g', 'S', 1, 2, 3, 4, 5, 6, 7, 8});
    Write("text.mpg", std::vector<uint8_t>(300, 'x'));
    for (const char* name : {"bad.ogv", "text.mpg", "missing.mpg"}) {
        EXPECT_EQ(OpenMovie(name, nullptr, nullptr, 0), -1) << name;
        const std::string expected =
            std::string(movie_text::kFileOpenFailedHead) + name + movie_text::kFileOpenFailedTail;
        EXPECT_NE(LogText().find(expected + movie_text::kMovieOpenFailed), std::string::npos) << name;
    }
    EXPECT_EQ(GetMovieCount(), 0);
}

// A movie with a Vorbis track: the track plays as a stream sound and its
// play position, not the clock, chooses the frame.
TEST_F(MovieHandlesTest, TheSoundTrackTimesTheFrames) {
    platform::ManualAudio audio;
    ASSERT_EQ(InitDirectSound(), 0);
    TheoraMovieShape shape;
    shape.vorbis_track = true;
    const std::vector<uint8_t> file = MakeTheoraMovie(shape);
    const auto reference = ReferenceFrames(file);
    Write("m.ogv", file);
    Seen seen;
    seen.reference = &reference;
    const int movie = OpenPlaying("m.ogv", 1, &seen);
    ASSERT_NE(movie, -1);
    MovieData* md = GetMovieData(movie);
    ASSERT_NE(md->sound_track, -1);
    EXPECT_EQ(CheckSoundPlayingBody(md->sound_track), 1);
    // The clock alone moves nothing.
    EXPECT_EQ(ShownAt(movie, seen, 500'000), 0);
    int last = 0;
    for (int step = 0; step < 6; ++step) {
        audio.RenderSamples(44100 / 10);
        RefillAllStreamSounds();
        UpdateMovieFrame(movie, 0);
        const int position = GetSoundPlayPositionBody(md->sound_track);
        const int expected = std::min(position * 25 / 1000, 29);
        EXPECT_EQ(GetTheoraCurrentFrame(md->decoder), expected) << position;
        EXPECT_EQ(seen.frames.back(), expected);
        EXPECT_GE(expected, last);
        last = expected;
    }
    EXPECT_GE(last, 10) << "0.6 s of sound played";
    // Deactivation stops the track; activation plays it on.
    PauseAllMovies();
    EXPECT_EQ(CheckSoundPlayingBody(md->sound_track), 0);
    ResumeAllMovies();
    EXPECT_EQ(CheckSoundPlayingBody(md->sound_track), 1);
    CloseMovie(movie);
    EXPECT_EQ(GetSoundHandleCount(), 0) << "the track goes with the movie";
    EndDirectSound();
}

// --- media-stream movies ---

// An MPEG-1 movie of `frames` test-pattern frames made by ffmpeg.
std::vector<uint8_t> MakeMpeg1(const std::filesystem::path& folder, int frames) {
    const std::filesystem::path out = folder / "made.mpg";
    const std::string command = "ffmpeg -loglevel error -y -f lavfi -i testsrc=size=96x64:rate=25 -frames:v " +
                                std::to_string(frames) + " -c:v mpeg1video -q:v 4 '" + out.string() + "'";
    if (std::system(command.c_str()) != 0) return {};
    std::ifstream in(out, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST_F(MovieHandlesTest, AnMpegMovieOpensThroughTheMediaStreamAndPlaysItsFrames) {
    const std::vector<uint8_t> mpeg = MakeMpeg1(game_.path(), 12);
    ASSERT_FALSE(mpeg.empty()) << "ffmpeg made no movie";
    Write("Movie/clip.mpg", mpeg);
    int w = 0, h = 0;
    const int movie = OpenMovie("movie\\CLIP.MPG", &w, &h, 0);
    ASSERT_NE(movie, -1) << LogText();
    EXPECT_EQ(w, 96);
    EXPECT_EQ(h, 64);
    MovieData* md = GetMovieData(movie);
    EXPECT_EQ(md->theora, 0);
    EXPECT_EQ(md->temporary_copy, 0);
    EXPECT_EQ(md->current_frame_image, &md->frame_image);
    Seen seen;
    SetMovieFrameCallback(movie, &RecordFrame, &seen);
    // Stopped: nothing is delivered.
    UpdateMovieFrame(movie, 0);
    EXPECT_EQ(seen.calls, 0);
    md->playing = 1;
    ResumeAllMovies();
    // One frame per 40 ms of stream time (at most one per 18 ms of clock).
    int64_t frames = 0;
    for (int step = 0; step < 12 * 4; ++step) {
        UpdateMovieFrame(movie, 0);
        clock_.AdvanceMilliseconds(10);
    }
    frames = seen.calls;
    EXPECT_EQ(frames, 12);
    EXPECT_EQ(md->playing, 0) << "the end of a movie that does not loop stops it";
    // The testsrc picture is not black.
    const std::vector<uint8_t> pixels = Pixels(md->frame_image);
    EXPECT_GT(std::count_if(pixels.begin(), pixels.end(), [](uint8_t b) { return b > 40; }), 1000);
}

TEST_F(MovieHandlesTest, AMovieThatFellBehindTakesASecondFrameThatIsAlreadyDue) {
    const std::vector<uint8_t> mpeg = MakeMpeg1(game_.path(), 12);
    ASSERT_FALSE(mpeg.empty()) << "ffmpeg made no movie";
    Write("clip.mpg", mpeg);
    const int movie = OpenMovie("clip.mpg", nullptr, nullptr, 0);
    ASSERT_NE(movie, -1) << LogText();
    MovieData* md = GetMovieData(movie);
    Seen seen;
    SetMovieFrameCallback(movie, &RecordFrame, &seen);
    md->playing = 1;
    ResumeAllMovies();
    // 100 ms on, the frames of 0, 40 and 80 ms are due: one update takes the
    // first and the one asked for right after it.
    clock_.AdvanceMilliseconds(100);
    UpdateMovieFrame(movie, 0);
    EXPECT_EQ(seen.calls, 2);
    EXPECT_EQ(md->media->GetTime(), 400'000);
    // Caught up: at 120 ms the frames of 80 and 120 ms.
    clock_.AdvanceMilliseconds(20);
    UpdateMovieFrame(movie, 0);
    EXPECT_EQ(seen.calls, 4);
    EXPECT_EQ(md->media->GetTime(), 1'200'000);
    // In step: at 140 ms nothing new is due.
    clock_.AdvanceMilliseconds(20);
    UpdateMovieFrame(movie, 0);
    EXPECT_EQ(seen.calls, 4);
}

// An MPEG-1 movie with an MPEG audio track of a sine tone, made by ffmpeg.
std::vector<uint8_t> MakeMpeg1WithTone(const std::filesystem::path& folder, int frequency) {
    const std::filesystem::path out = folder / "tone.mpg";
    const std::string command =
        "ffmpeg -loglevel error -y -f lavfi -i testsrc=size=96x64:rate=25 -f lavfi -i sine=frequency=" +
        std::to_string(frequency) + ":sample_rate=44100 -t 2 -c:v mpeg1video -q:v 4 -c:a mp2 -b:a 192k '" +
        out.string() + "'";
    if (std::system(command.c_str()) != 0) return {};
    std::ifstream in(out, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Upward zero crossings per second of the first channel.
double ToneFrequency(const std::vector<int16_t>& samples, int channels, int rate) {
    int crossings = 0;
    size_t first = 0, last = 0;
    for (size_t i = static_cast<size_t>(channels); i < samples.size(); i += static_cast<size_t>(channels)) {
        if (samples[i - static_cast<size_t>(channels)] < 0 && samples[i] >= 0) {
            if (crossings == 0) first = i;
            last = i;
            ++crossings;
        }
    }
    if (crossings < 2) return 0;
    return (crossings - 1) * static_cast<double>(rate) / static_cast<double>((last - first) / channels);
}

TEST_F(MovieHandlesTest, AnMpegMoviesSoundReachesTheMixerWhileItsFramesAdvance) {
    platform::ManualAudio audio;
    ASSERT_EQ(InitDirectSound(), 0);
    const std::vector<uint8_t> mpeg = MakeMpeg1WithTone(game_.path(), 1000);
    ASSERT_FALSE(mpeg.empty()) << "ffmpeg made no movie";
    Write("tone.mpg", mpeg);
    const int movie = OpenMovie("tone.mpg", nullptr, nullptr, 0);
    ASSERT_NE(movie, -1) << LogText();
    MovieData* md = GetMovieData(movie);
    ASSERT_NE(md->sound_track, -1) << "the track is a sound of the library";
    EXPECT_EQ(CheckSoundPlayingBody(md->sound_track), 0) << "a movie opens stopped";
    // Silence while stopped.
    std::vector<int16_t> mixed = audio.RenderSamples(4410);
    EXPECT_TRUE(std::all_of(mixed.begin(), mixed.end(), [](int16_t v) { return v == 0; }));
    Seen seen;
    SetMovieFrameCallback(movie, &RecordFrame, &seen);
    md->playing = 1;
    ResumeAllMovies();
    EXPECT_EQ(CheckSoundPlayingBody(md->sound_track), 1);
    mixed.clear();
    for (int step = 0; step < 10; ++step) {
        clock_.AdvanceMilliseconds(50);
        const std::vector<int16_t> part = audio.RenderSamples(44100 / 20);
        mixed.insert(mixed.end(), part.begin(), part.end());
        RefillAllStreamSounds();
        UpdateMovieFrame(movie, 0);
    }
    EXPECT_GE(seen.calls, 12) << "half a second of frames";
    const int16_t peak = *std::max_element(mixed.begin(), mixed.end());
    EXPECT_GT(peak, 2000) << "the tone is heard";
    const platform::WaveFormat output = audio.OutputFormat();
    ASSERT_GE(output.channels, 1);
    // Past the encoder's lead-in (its first tenth of a second ramps up from
    // silence).
    const std::vector<int16_t> steady(mixed.begin() + 4410 * output.channels, mixed.end());
    EXPECT_NEAR(ToneFrequency(steady, output.channels, static_cast<int>(output.samples_per_second)), 1000.0, 5.0)
        << output.samples_per_second << " Hz, " << output.channels << " channels";
    // Paused with the window: the sound stops and goes on where it was.
    PauseAllMovies();
    EXPECT_EQ(CheckSoundPlayingBody(md->sound_track), 0);
    const int position = GetSoundPlayPositionBody(md->sound_track);
    audio.RenderSamples(4410);
    EXPECT_EQ(GetSoundPlayPositionBody(md->sound_track), position);
    ResumeAllMovies();
    EXPECT_EQ(CheckSoundPlayingBody(md->sound_track), 1);
    audio.RenderSamples(4410);
    EXPECT_GT(GetSoundPlayPositionBody(md->sound_track), position);
    CloseMovie(movie);
    EXPECT_EQ(GetSoundHandleCount(), 0) << "the track goes with the movie";
    EndDirectSound();
}

TEST_F(MovieHandlesTest, AnArchivedMovieGoesThroughATemporaryCopyRemovedOnClose) {
    const std::vector<uint8_t> mpeg = MakeMpeg1(game_.path(), 6);
    ASSERT_FALSE(mpeg.empty());
    tools::ArchiveBuilder builder;
    builder.AddFile("clip.mpg", mpeg);
    builder.AddFile("op.ogv", TheoraFile(4));
    Write("Movie.velk", builder.Build({}));
    SetArchiveExtension("velk");
    int w = 0;
    const int movie = OpenMovie("Movie\\clip.mpg", &w, nullptr, 0);
    ASSERT_NE(movie, -1) << LogText();
    EXPECT_EQ(w, 96);
    const MovieData* md = GetMovieData(movie);
    EXPECT_EQ(md->temporary_copy, 1);
    const std::string copy = md->file_name;
    EXPECT_TRUE(std::filesystem::exists(copy));
    EXPECT_EQ(std::filesystem::file_size(copy), mpeg.size());
    // A display change releases and re-opens it from the same copy.
    ReleaseAllMovieStreams();
    EXPECT_EQ(md->media, nullptr);
    EXPECT_EQ(UpdateMovieFrame(movie, 1), 0);
    EXPECT_EQ(ReopenAllMovieStreams(), 0);
    EXPECT_NE(md->media, nullptr);
    EXPECT_EQ(md->file_name, copy);
    CloseMovie(movie);
    EXPECT_FALSE(std::filesystem::exists(copy));
    // A Theora movie in an archive is read through file access directly.
    const int theora = OpenMovie("Movie\\op.ogv", nullptr, nullptr, 0);
    ASSERT_NE(theora, -1);
    EXPECT_EQ(GetMovieData(theora)->theora, 1);
    EXPECT_EQ(GetMovieData(theora)->temporary_copy, 0);
}

}  // namespace
}  // namespace velk::testing
